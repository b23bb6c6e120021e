#include "decoder/file_stamp.h"

#include <sys/stat.h>

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

}  // namespace decoder
