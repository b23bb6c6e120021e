#pragma once

// The LZW decoder of GIF image data, written for playing animations: a frame
// of a photo-like animation decodes several times faster than through
// FreeImage's or giflib's decoders, which keep each code's string in a table
// of prefixes and unwind it byte by byte. Here a code's string is a run that
// already lies in the output (where the string before it was written, which
// its last byte follows), or in a table of the literals, so each code is one
// short copy, literal or not.

#include <cstddef>
#include <cstdint>

namespace decoder {

// Decodes data (the image's sub-blocks joined, without their length bytes),
// coded with minCodeSize (the byte before the first sub-block), into out's
// first pixels bytes: one colour index per pixel, in the order the data
// holds them. Returns how many pixels were decoded: fewer than pixels when
// the data ends early or turns invalid (an unknown code), which ends the
// decode there. minCodeSize outside 1..8 decodes nothing.
std::size_t DecodeGifLzw(const std::uint8_t* data, std::size_t size, unsigned minCodeSize, std::uint8_t* out,
                         std::size_t pixels);

}  // namespace decoder
