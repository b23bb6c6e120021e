#pragma once

// An HEVC decoder for libheif over libde265 that decodes a picture on every
// core (libheif's own starts libde265 with one worker thread, so a 12
// megapixel photo coded as one picture took one core's time), and that
// refuses a coded picture larger than the file it came in may hold before
// libde265 allocates it.

#include <cstdint>

namespace decoder {

// The name libheif knows the decoder by (its decoding options' decoder_id).
inline constexpr const char* HevcDecoderId = "velvane-libde265";

// Registers the decoder with libheif, once, at a priority above libheif's own.
void RegisterHevcDecoder();

// The largest side a coded picture may have from now on; the HEIF reader sets
// it for each file from the size the file states.
void LimitHevcPictureSide(std::uint32_t side);

// How many libde265 worker threads a decoder starts when this many decoders
// work at the same time (libheif decodes the tiles of a grid side by side):
// together they use the cores, and no more.
int HevcWorkerThreads(int cores, int liveDecoders);

}  // namespace decoder
