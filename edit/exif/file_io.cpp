#include "edit/exif/file_io.h"

#include "edit/exif/exif_errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

// Closes a descriptor when it goes out of scope.
class TDescriptor {
public:
  explicit TDescriptor(int fd) : FFd(fd) {}
  ~TDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return FFd; }
  // Closes now, reporting the error a delayed write may surface.
  int Close() {
    const int result = ::close(FFd);
    FFd = -1;
    return result;
  }

private:
  int FFd;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ResolvedPath(const std::string& fileName) {
  char* resolved = ::realpath(fileName.c_str(), nullptr);
  if (!resolved) return fileName;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

// Writes every piece; returns 0 or the system's error number.
int WriteAll(int fd, const TOutputPieces& content) {
  const auto& pieces = content.Pieces();
  std::vector<iovec> vectors;
  vectors.reserve(std::min<size_t>(pieces.size(), IOV_MAX));
  size_t next = 0;
  while (next < pieces.size()) {
    vectors.clear();
    for (size_t i = next; i < pieces.size() && vectors.size() < IOV_MAX; ++i)
      vectors.push_back({const_cast<uint8_t*>(pieces[i].data()), pieces[i].size()});
    next += vectors.size();
    iovec* current = vectors.data();
    size_t left = vectors.size();
    while (left > 0) {
      const ssize_t written = ::writev(fd, current, int(left));
      if (written < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      // Skip what was written, which may end inside a vector.
      size_t done = size_t(written);
      while (left > 0 && done >= current->iov_len) {
        done -= current->iov_len;
        ++current;
        --left;
      }
      if (left > 0) {
        current->iov_base = static_cast<uint8_t*>(current->iov_base) + done;
        current->iov_len -= done;
      }
    }
  }
  return 0;
}

// Fills the temporary file and renames it over the target; 0 or the error.
int WriteAndRename(TDescriptor& fd, const std::string& temporary, const std::string& target,
                   uint32_t mode, uint32_t owner, uint32_t group, const TOutputPieces& content) {
  if (::fchmod(fd.Get(), mode_t(mode)) != 0) return errno;
  // Keeping the owner needs privileges; the group often works. Failing is
  // not an error: the replaced file then belongs to whoever rotated it.
  if (::fchown(fd.Get(), uid_t(owner), gid_t(group)) != 0)
    (void)!::fchown(fd.Get(), uid_t(-1), gid_t(group));
  if (const int error = WriteAll(fd.Get(), content)) return error;
  if (::fsync(fd.Get()) != 0) return errno;
  if (fd.Close() != 0) return errno;
  if (::rename(temporary.c_str(), target.c_str()) != 0) return errno;
  return 0;
}

}  // namespace

TFileContent ReadFileContent(const std::string& fileName, bool forWriting) {
  // Look before opening: opening a device or a fifo can block or have effects.
  struct stat info;
  if (::stat(fileName.c_str(), &info) != 0) throw EFOpenError(fileName, SystemReason(errno));
  if (S_ISDIR(info.st_mode)) throw EFOpenError(fileName, SystemReason(EISDIR));
  if (!S_ISREG(info.st_mode)) throw EFOpenError(fileName, "Not a regular file");

  TDescriptor fd(::open(fileName.c_str(), (forWriting ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.Get() < 0) throw EFOpenError(fileName, SystemReason(errno));
  if (::fstat(fd.Get(), &info) != 0) throw EFOpenError(fileName, SystemReason(errno));
  if (!S_ISREG(info.st_mode)) throw EFOpenError(fileName, "Not a regular file");

  TFileContent content;
  content.FFileName = fileName;
  content.FMode = uint32_t(info.st_mode & 07777);
  content.FOwner = uint32_t(info.st_uid);
  content.FGroup = uint32_t(info.st_gid);
  if (forWriting) content.FTarget = ResolvedPath(fileName);

  // Read to the end even if the file grew since fstat: a rewrite from a
  // shorter copy would cut it.
  size_t capacity = size_t(info.st_size) + 1;
  try {
    content.FData = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    for (;;) {
      if (content.FSize == capacity) {
        const size_t larger = capacity * 2;
        auto grown = std::make_unique_for_overwrite<uint8_t[]>(larger);
        std::memcpy(grown.get(), content.FData.get(), content.FSize);
        content.FData = std::move(grown);
        capacity = larger;
      }
      const ssize_t got = ::read(fd.Get(), content.FData.get() + content.FSize, capacity - content.FSize);
      if (got < 0) {
        if (errno == EINTR) continue;
        throw EFOpenError(fileName, SystemReason(errno));
      }
      if (got == 0) break;
      content.FSize += size_t(got);
    }
  } catch (const std::bad_alloc&) {
    throw EFOpenError(fileName, "Not enough memory");
  }
  return content;
}

void ReplaceFileContent(const TFileContent& original, const TOutputPieces& content) {
  const std::string& target = original.FTarget.empty() ? original.FFileName : original.FTarget;
  const std::string folder = FolderOf(target);
  std::string temporary = folder + (folder == "/" ? "" : "/") + ".velvane-XXXXXX";
  const int rawFd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (rawFd < 0) throw EFWriteError(original.FFileName, SystemReason(errno));
  TDescriptor fd(rawFd);
  int error = 0;
  try {
    error = WriteAndRename(fd, temporary, target, original.FMode, original.FOwner, original.FGroup, content);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  if (error != 0) {
    ::unlink(temporary.c_str());
    throw EFWriteError(original.FFileName, SystemReason(error));
  }
  // Make the rename itself durable.
  TDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) ::fsync(dir.Get());
}
