#include "decoder/gif_lzw.h"

#include <cstring>

namespace decoder {

namespace {

constexpr unsigned MaxCodes = 4096;  // codes are at most 12 bits wide

}  // namespace

std::size_t DecodeGifLzw(const std::uint8_t* data, std::size_t size, unsigned minCodeSize, std::uint8_t* out,
                         std::size_t pixels) {
  if (minCodeSize < 1 || minCodeSize > 8 || pixels == 0) return 0;
  const unsigned clear = 1u << minCodeSize;
  const unsigned end = clear + 1;
  // Where each code's string was last written, and its length. Literal codes
  // get theirs when they are written; a new code is the string before it
  // plus the first byte of the one after, which follows it in the output.
  std::uint32_t at[MaxCodes];
  std::uint16_t length[MaxCodes];
  unsigned width = minCodeSize + 1;
  unsigned mask = (1u << width) - 1;
  unsigned next = end + 1;
  std::uint64_t bits = 0;
  unsigned held = 0;
  std::size_t read = 0, written = 0;
  int previous = -1;  // none right after a clear code
  for (;;) {
    if (held < width) {
      if (size - read >= 8) {
        // Whole bytes up to 56 bits held, in one load.
        std::uint64_t word;
        std::memcpy(&word, data + read, 8);
        const unsigned take = (63 - held) / 8;
        bits |= (word & ((std::uint64_t(1) << (take * 8)) - 1)) << held;
        held += take * 8;
        read += take;
      } else {
        while (held < width) {
          if (read == size) return written;
          bits |= std::uint64_t(data[read++]) << held;
          held += 8;
        }
      }
    }
    const unsigned code = static_cast<unsigned>(bits) & mask;
    bits >>= width;
    held -= width;
    if (code == clear) {
      width = minCodeSize + 1;
      mask = (1u << width) - 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code == end) return written;
    const std::size_t start = written;
    const std::size_t room = pixels - written;
    if (code < clear) {
      out[written++] = static_cast<std::uint8_t>(code);
      length[code] = 1;
    } else if (previous < 0 || code > next || (code == next && next == MaxCodes)) {
      return written;  // a code the table does not hold: the data is damaged
    } else if (code < next) {
      std::size_t n = length[code];
      if (n <= 8 && room >= 8) {
        // One eight-byte move; the bytes past the string are written over next.
        std::uint64_t run;
        std::memcpy(&run, out + at[code], 8);
        std::memcpy(out + written, &run, 8);
      } else {
        if (n > room) n = room;
        std::memmove(out + written, out + at[code], n);
      }
      written += n;
    } else {
      // The code being defined: the string before it and its own first byte.
      std::size_t n = length[previous];
      const std::uint8_t first = out[at[previous]];
      if (n > room) n = room;
      std::memmove(out + written, out + at[previous], n);
      written += n;
      if (written < pixels) out[written++] = first;
    }
    if (previous >= 0 && next < MaxCodes) {
      at[next] = at[previous];
      length[next] = static_cast<std::uint16_t>(length[previous] + 1);
      ++next;
      if (next > mask && width < 12) {
        ++width;
        mask = (1u << width) - 1;
      }
    }
    at[code] = static_cast<std::uint32_t>(start);
    previous = static_cast<int>(code);
    if (written >= pixels) return pixels;
  }
}

}  // namespace decoder
