#include "platform/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

TFileStatus FromStat(int result, const struct stat& st) {
  TFileStatus status;
  if (result != 0) {
    status.error = errno;
    return status;
  }
  status.kind = S_ISREG(st.st_mode) ? TFileKind::Regular : S_ISDIR(st.st_mode) ? TFileKind::Folder : TFileKind::Other;
  status.device = st.st_dev;
  status.inode = st.st_ino;
  status.size = st.st_size;
  status.mtimeSec = st.st_mtim.tv_sec;
  status.mtimeNsec = st.st_mtim.tv_nsec;
  return status;
}

}  // namespace

ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd, bytes + done, size - done, offset + off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += std::size_t(got);
  }
  return ssize_t(done);
}

bool ReadAllAt(int fd, void* buffer, std::size_t size, off_t offset) {
  return ReadAt(fd, buffer, size, offset) == ssize_t(size);
}

int WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::pwrite(fd, bytes + done, size - done, offset + off_t(done));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return errno;
    if (put == 0) return EIO;
    done += std::size_t(put);
  }
  return 0;
}

ssize_t ReadSome(int fd, void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

std::string ResolvedPath(const std::string& path) {
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    std::string result(resolved);
    std::free(resolved);
    return result;
  }
  return path;
}

TFileStatus StatusOfPath(const std::string& path) {
  struct stat st {};
  const int result = ::stat(path.c_str(), &st);
  return FromStat(result, st);
}

TFileStatus StatusOfDescriptor(int fd) {
  struct stat st {};
  const int result = ::fstat(fd, &st);
  return FromStat(result, st);
}

bool IsRegularFile(const std::string& path) { return StatusOfPath(path).kind == TFileKind::Regular; }

int AccessError(const std::string& path, bool write) {
  return ::faccessat(AT_FDCWD, path.c_str(), write ? W_OK : R_OK, AT_EACCESS) == 0 ? 0 : errno;
}

bool IsExecutableFile(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

std::string ExecutableFolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  std::string path(buffer.data(), std::size_t(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int DuplicateDescriptor(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int OpenForReading(const std::string& path, bool writable) {
  return ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}
