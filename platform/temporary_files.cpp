#include "platform/temporary_files.h"

#include <cerrno>
#include <charconv>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view Prefix = ".velvane-";
constexpr std::string_view KeptInfix = ".old-";
constexpr size_t RandomLength = 6;

bool IsRandomPart(std::string_view text) {
  if (text.size() != RandomLength) return false;
  for (const char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int CreateLockedTemporary(const std::string& folder, std::string& path) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name = folder + (folder == "/" ? "" : "/") + std::string(Prefix) + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    // A cleanup in another process may take the new file in the instant
    // before it is locked, and then removes it: make another one.
    const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    struct stat opened, named;
    if (!taken && ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 && SameFile(opened, named)) {
      // A file system without locks leaves the file unlocked; then no
      // cleanup can take it either.
      path = std::move(name);
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

bool IsTemporaryName(std::string_view name) {
  return name.substr(0, Prefix.size()) == Prefix && IsRandomPart(name.substr(Prefix.size()));
}

std::string KeptCopyName(std::string_view temporaryName, uint64_t inode) {
  return std::string(temporaryName) + std::string(KeptInfix) + std::to_string(inode);
}

bool ParseKeptCopyName(std::string_view name, std::string& temporaryName, uint64_t& inode) {
  const size_t stem = Prefix.size() + RandomLength;
  if (name.size() <= stem + KeptInfix.size() || !IsTemporaryName(name.substr(0, stem)) ||
      name.substr(stem, KeptInfix.size()) != KeptInfix)
    return false;
  const std::string_view digits = name.substr(stem + KeptInfix.size());
  if (digits.front() < '1' || digits.front() > '9') return false;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), inode);
  if (error != std::errc() || end != digits.data() + digits.size()) return false;
  temporaryName = std::string(name.substr(0, stem));
  return true;
}

int TakeAbandoned(int folderFd, const std::string& name) {
  // Read-write where possible: file systems that emulate flock with record
  // locks grant an exclusive lock only then. O_NONBLOCK: a fifo of that
  // name must not block the open.
  constexpr int Flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  struct stat named;
  if (::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) return -1;
  if (!S_ISREG(named.st_mode)) {  // never open a device of that name
    errno = EBUSY;
    return -1;
  }
  int fd = ::openat(folderFd, name.c_str(), O_RDWR | Flags);
  if (fd < 0 && errno != ENOENT) fd = ::openat(folderFd, name.c_str(), O_RDONLY | Flags);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1 ||
      ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    errno = EBUSY;
    return -1;
  }
  return fd;
}

bool RemoveIfSame(int folderFd, const std::string& name, int fd) {
  struct stat opened, named;
  if (::fstat(fd, &opened) != 0 || ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      !SameFile(opened, named))
    return false;
  return ::unlinkat(folderFd, name.c_str(), 0) == 0;
}
