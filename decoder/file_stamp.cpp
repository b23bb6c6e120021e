#include "decoder/file_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace decoder {

namespace {

bool FromStat(const struct stat& st, TFileStamp& stamp) {
  if (!S_ISREG(st.st_mode)) return false;
  stamp.dev = st.st_dev;
  stamp.ino = st.st_ino;
  stamp.size = st.st_size;
  stamp.mtimeSec = st.st_mtim.tv_sec;
  stamp.mtimeNsec = st.st_mtim.tv_nsec;
  return true;
}

}  // namespace

bool StampOfPath(const std::string& path, TFileStamp& stamp) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && FromStat(st, stamp);
}

bool StampOfFd(int fd, TFileStamp& stamp) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && FromStat(st, stamp);
}

int OpenRegularFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  // Non-blocking and no controlling terminal, should it have become
  // something else since the look.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace decoder
