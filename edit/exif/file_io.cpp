#include "edit/exif/file_io.h"

#include "edit/exif/exif_errors.h"
#include "platform/atomic_file.h"
#include "platform/file_descriptor.h"
#include "platform/posix_io.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

}  // namespace

TFileContent ReadFileContent(const std::string& fileName, bool forWriting) {
  // Look before opening: opening a device or a fifo can block or have effects.
  TFileStatus info = StatusOfPath(fileName);
  if (info.kind == TFileKind::Missing) throw EFOpenError(fileName, SystemReason(info.error));
  if (info.kind == TFileKind::Folder) throw EFOpenError(fileName, SystemReason(EISDIR));
  if (info.kind != TFileKind::Regular) throw EFOpenError(fileName, "Not a regular file");

  const TFileDescriptor fd(OpenForReading(fileName, forWriting));
  if (!fd.Valid()) throw EFOpenError(fileName, SystemReason(errno));
  info = StatusOfDescriptor(fd.Get());
  if (info.kind == TFileKind::Missing) throw EFOpenError(fileName, SystemReason(info.error));
  if (info.kind != TFileKind::Regular) throw EFOpenError(fileName, "Not a regular file");

  TFileContent content;
  content.FFileName = fileName;

  // Read to the end even if the file grew since fstat: a rewrite from a
  // shorter copy would cut it.
  size_t capacity = size_t(info.size) + 1;
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
      const ssize_t got = ReadSome(fd.Get(), content.FData.get() + content.FSize, capacity - content.FSize);
      if (got < 0) throw EFOpenError(fileName, SystemReason(errno));
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
