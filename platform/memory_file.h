#pragma once

// Files in memory (memfd): the decoding worker fills one with a decoded
// picture and seals it, the viewer maps it. The creating side's functions
// take and give plain descriptors and never allocate from the heap, because
// the worker's malloc is built on them.

#include "platform/file_descriptor.h"

#include <cstddef>
#include <cstdint>
#include <memory>

std::size_t MemoryPageSize();
// bytes rounded up to whole pages.
std::size_t PageRounded(std::size_t bytes);

// A new memory file of size bytes (zeros), close-on-exec and sealable; -1
// when it cannot be made.
int CreateMemoryFile(std::size_t size);
// Sets the length of the file fd to size bytes.
bool ResizeFile(int fd, std::uint64_t size);
// A writable shared mapping of size bytes at offset (a page boundary) of
// fd, or null.
void* MapShared(int fd, std::size_t size, std::uint64_t offset = 0);
// A private mapping of size bytes of fresh memory (zeros), or null.
void* MapAnonymous(std::size_t size);
void Unmap(void* start, std::size_t size);
void CloseDescriptor(int fd);
// Seals fd for good against shrinking, growing and writing, so that a
// receiver may rely on its content. No writable shared mapping of it may be
// left.
bool SealMemoryFile(int fd);

// A memory file another process filled and handed over, as the receiver
// holds it: only one sealed against shrinking and writing is taken, so its
// length and content can no longer change under the receiver.
class TSealedFile {
public:
  TSealedFile() = default;
  // fd when it is sealed so; an invalid file otherwise (fd is closed).
  static TSealedFile Adopt(TFileDescriptor fd);

  bool Valid() const { return FFd.Valid(); }
  std::uint64_t Size() const { return FSize; }
  // Whether bytes at offset lie within the file.
  bool Holds(std::uint64_t offset, std::uint64_t bytes) const { return offset <= FSize && bytes <= FSize - offset; }
  // Reads exactly bytes at offset.
  bool Read(void* buffer, std::size_t bytes, std::uint64_t offset) const;
  // bytes at offset (anywhere, not only on a page boundary) mapped private:
  // writes through the mapping copy the pages they touch and never reach
  // the file. The pointer owns the mapping; null on failure.
  std::shared_ptr<std::uint8_t> MapPrivate(std::uint64_t offset, std::size_t bytes) const;

private:
  TFileDescriptor FFd;
  std::uint64_t FSize = 0;
};
