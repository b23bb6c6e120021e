#include "decoder/worker_memory.h"

#include "platform/memory_file.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace decoder {

namespace {

// Below this, glibc's heap serves; decoders' bitmaps are far larger.
constexpr std::size_t SharedThreshold = 1u << 20;
constexpr int MaxBlocks = 64;

struct TBlock {
  void* start;
  std::size_t size;
  int fd;
};

TBlock Blocks[MaxBlocks];
int BlockCount = 0;
std::atomic_flag Lock = ATOMIC_FLAG_INIT;

struct TGuard {
  TGuard() {
    while (Lock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~TGuard() { Lock.clear(std::memory_order_release); }
};

// AddressSanitizer must own malloc, so a sanitizer build keeps glibc's
// allocator: no block is then shared, and bitmaps go to the viewer copied.
#if !defined(__SANITIZE_ADDRESS__)

void* SharedAlloc(std::size_t n) {
  const std::size_t size = PageRounded(n);
  const int fd = CreateMemoryFile(size);
  if (fd < 0) return nullptr;
  void* p = MapShared(fd, size);
  if (!p) {
    CloseDescriptor(fd);
    return nullptr;
  }
  TGuard guard;
  if (BlockCount == MaxBlocks) {
    Unmap(p, size);
    CloseDescriptor(fd);
    return nullptr;
  }
  Blocks[BlockCount++] = TBlock{p, size, fd};
  return p;
}

// Takes the block at p out of the table; false when p is not one.
bool TakeBlock(void* p, TBlock& block) {
  TGuard guard;
  for (int i = 0; i < BlockCount; ++i) {
    if (Blocks[i].start != p) continue;
    block = Blocks[i];
    Blocks[i] = Blocks[--BlockCount];
    return true;
  }
  return false;
}

std::size_t BlockSize(void* p) {
  TGuard guard;
  for (int i = 0; i < BlockCount; ++i)
    if (Blocks[i].start == p) return Blocks[i].size;
  return 0;
}

#endif  // !__SANITIZE_ADDRESS__

}  // namespace

bool FindSharedBlock(const void* p, TSharedBlock& block) {
  TGuard guard;
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  for (int i = 0; i < BlockCount; ++i) {
    const auto start = reinterpret_cast<std::uintptr_t>(Blocks[i].start);
    if (at >= start && at < start + Blocks[i].size) {
      block = TSharedBlock{Blocks[i].fd, Blocks[i].start, Blocks[i].size};
      return true;
    }
  }
  return false;
}

}  // namespace decoder

#if !defined(__SANITIZE_ADDRESS__)

using namespace decoder;

extern "C" {

void* malloc(std::size_t n) {
  if (n >= SharedThreshold)
    if (void* p = SharedAlloc(n)) return p;
  return __libc_malloc(n);
}

void* calloc(std::size_t count, std::size_t n) {
  if (n != 0 && count > SIZE_MAX / n) {
    errno = ENOMEM;
    return nullptr;
  }
  if (count * n >= SharedThreshold)
    if (void* p = SharedAlloc(count * n)) return p;  // fresh memfd pages are zero
  return __libc_calloc(count, n);
}

void free(void* p) {
  if (!p) return;
  TBlock block;
  if (TakeBlock(p, block)) {
    Unmap(block.start, block.size);
    CloseDescriptor(block.fd);
    return;
  }
  __libc_free(p);
}

void* realloc(void* p, std::size_t n) {
  if (!p) return malloc(n);
  if (const std::size_t old = BlockSize(p)) {
    if (n == 0) {
      free(p);
      return nullptr;
    }
    void* fresh = malloc(n);
    if (!fresh) return nullptr;
    std::memcpy(fresh, p, old < n ? old : n);
    free(p);
    return fresh;
  }
  return __libc_realloc(p, n);
}

}  // extern "C"

#endif  // !__SANITIZE_ADDRESS__
