#include "edit/exif/file_io.h"

#include "edit/exif/exif_errors.h"
#include "platform/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
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

private:
  int FFd;
};

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
  TAtomicFile file(original.FFileName);
  if (!file.Open() || !file.Write(content.Pieces()) || !file.Commit())
    throw EFWriteError(original.FFileName, file.ErrorText());
}
