#include "decoder/bitmap_pack.h"

#include "decoder/bitmap_transfer.h"
#include "platform/memory_file.h"
#include "platform/posix_io.h"

#include <cstring>
#include <vector>

namespace decoder {

TFileDescriptor PackBitmap(TFreeBitmap bitmap, TReplyHeader& reply, const TSharedBlock* rowsBlock) {
  FIBITMAP* dib = bitmap.Dib();
  if (!dib) return {};
  const std::vector<std::uint8_t> blob = DescribeBitmap(dib);
  const std::size_t rows = PixelBytes(dib);
  const std::uint8_t* bits = FreeImage_GetBits(dib);
  const auto* blockStart = rowsBlock ? static_cast<const std::uint8_t*>(rowsBlock->start) : nullptr;
  TFileDescriptor fd;
  bool ok = false;
  if (rows > 0 && blockStart && bits >= blockStart &&
      static_cast<std::size_t>(bits - blockStart) + rows <= rowsBlock->size) {
    fd = TFileDescriptor(DuplicateDescriptor(rowsBlock->fd));
    const std::size_t blobOffset = PageRounded(rowsBlock->size);
    reply.pixelOffset = static_cast<std::uint64_t>(bits - blockStart);
    reply.blobOffset = blobOffset;
    ok = fd.Valid() && ResizeFile(fd.Get(), blobOffset + blob.size()) &&
         WriteAt(fd.Get(), blob.data(), blob.size(), static_cast<off_t>(blobOffset)) == 0;
    bitmap.Clear();  // unmaps the block; the memory file lives on in fd
  } else {
    const std::size_t offset = PageRounded(blob.size());
    fd = TFileDescriptor(CreateMemoryFile(offset + rows));
    ok = fd.Valid() && WriteAt(fd.Get(), blob.data(), blob.size(), 0) == 0;
    if (ok && rows > 0) {
      // Through a mapping, not write(2): one copy of the rows, straight into
      // the file's pages.
      void* map = MapShared(fd.Get(), rows, offset);
      ok = map != nullptr;
      if (ok) {
        std::memcpy(map, bits, rows);
        Unmap(map, rows);
      }
    }
    bitmap.Clear();
    reply.blobOffset = 0;
    reply.pixelOffset = offset;
  }
  if (!ok || !SealMemoryFile(fd.Get())) return {};
  reply.blobBytes = blob.size();
  reply.pixelBytes = rows;
  return fd;
}

namespace {

struct TFrameFile {
  int fd = -1;
  void* map = nullptr;  // the whole file, shared
  std::size_t size = 0;
};

TFrameFile& FrameFile() {
  static TFrameFile file;
  return file;
}

// The frame file at least bytes long, mapped; null when it cannot be made.
std::uint8_t* FrameFileOf(std::size_t bytes) {
  TFrameFile& file = FrameFile();
  if (file.map && file.size >= bytes) return static_cast<std::uint8_t*>(file.map);
  ReleaseFrameFile();
  const std::size_t size = PageRounded(bytes);
  file.fd = CreateMemoryFile(size);
  file.map = file.fd >= 0 ? MapShared(file.fd, size) : nullptr;
  if (!file.map) {
    ReleaseFrameFile();
    return nullptr;
  }
  file.size = size;
  return static_cast<std::uint8_t*>(file.map);
}

}  // namespace

void ReleaseFrameFile() {
  TFrameFile& file = FrameFile();
  if (file.map) Unmap(file.map, file.size);
  if (file.fd >= 0) CloseDescriptor(file.fd);
  file = TFrameFile{};
}

TFileDescriptor PackFrame(TFreeBitmap bitmap, TReplyHeader& reply, const TSharedBlock* rowsBlock) {
  FIBITMAP* dib = bitmap.Dib();
  if (!dib) return {};
  const std::size_t rows = PixelBytes(dib);
  const std::vector<std::uint8_t> blob = DescribeBitmap(dib);
  const std::size_t offset = PageRounded(blob.size());
  if (rows == 0 || offset + rows > FrameCopyBytes) return PackBitmap(std::move(bitmap), reply, rowsBlock);
  std::uint8_t* file = FrameFileOf(offset + rows);
  if (!file) return {};
  std::memcpy(file, blob.data(), blob.size());
  std::memcpy(file + offset, FreeImage_GetBits(dib), rows);
  bitmap.Clear();
  reply.blobOffset = 0;
  reply.blobBytes = blob.size();
  reply.pixelOffset = offset;
  reply.pixelBytes = rows;
  return TFileDescriptor(DuplicateDescriptor(FrameFile().fd));
}

}  // namespace decoder
