#pragma once

// The worker's large allocations (a decoded bitmap among them) live in
// memfds of their own, so that a bitmap can be handed to the viewer as it
// lies, without a copy. Only the worker links this: it replaces malloc.

#include <cstddef>

namespace decoder {

struct TSharedBlock {
  int fd = -1;  // the block's memfd (still owned by the allocator)
  const void* start = nullptr;
  std::size_t size = 0;  // bytes of the memfd the block spans
};

// The memfd-backed block that holds p, if any.
bool FindSharedBlock(const void* p, TSharedBlock& block);

}  // namespace decoder
