#pragma once

// Writing whole frame rows with non-temporal stores: a frame is far larger
// than the caches and is read back only when it is shown, so streaming the
// pixels past the cache saves reading every destination line first. Plain
// stores on targets without SSE2.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stream_store {

using Pixel = std::uint32_t;

#if defined(__SSE2__)
inline bool Aligned(const Pixel* p) { return (reinterpret_cast<std::uintptr_t>(p) & 15) == 0; }
#endif

// out[i] = pixelAt(i) for i in [0, n).
template <typename PixelAt>
inline void WriteRow(Pixel* out, std::size_t n, PixelAt pixelAt) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i < n && !Aligned(out + i); ++i) out[i] = pixelAt(i);
  for (; i + 4 <= n; i += 4) {
    const __m128i v = _mm_set_epi32(static_cast<int>(pixelAt(i + 3)), static_cast<int>(pixelAt(i + 2)),
                                    static_cast<int>(pixelAt(i + 1)), static_cast<int>(pixelAt(i)));
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), v);
  }
#endif
  for (; i < n; ++i) out[i] = pixelAt(i);
}

inline void Fill(Pixel* out, std::size_t n, Pixel color) {
  WriteRow(out, n, [color](std::size_t) { return color; });
}

inline void Copy(Pixel* out, const Pixel* from, std::size_t n) {
  WriteRow(out, n, [from](std::size_t i) { return from[i]; });
}

// Orders the streamed stores before whatever reads the frame next.
inline void Fence() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace stream_store
