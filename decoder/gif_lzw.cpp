#include "decoder/gif_lzw.h"

#include <cstring>

namespace decoder {

namespace {

constexpr unsigned MaxCodes = 4096;  // codes are at most 12 bits wide

// Every byte value, as the string of its literal code; padded so that an
// eight-byte read of the last stays inside.
struct TLiterals {
  std::uint8_t bytes[256 + 8];
  constexpr TLiterals() : bytes() {
    for (unsigned i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  }
};
constexpr TLiterals Literals;

}  // namespace

std::size_t DecodeGifLzw(const std::uint8_t* data, std::size_t size, unsigned minCodeSize, std::uint8_t* out,
                         std::size_t pixels) {
  if (minCodeSize < 1 || minCodeSize > 8 || pixels == 0) return 0;
  const unsigned clear = 1u << minCodeSize;
  const unsigned end = clear + 1;
  // Where each code's string lies, and its length: a literal's in the table
  // of literals; a table code's in the output, where the string before it
  // was written, since it is that string and the first byte of the one
  // after, which follows it there. Literals and table codes are copied
  // alike, so that the unforeseeable choice between them takes no branch.
  const std::uint8_t* at[MaxCodes];
  std::uint16_t length[MaxCodes];
  for (unsigned code = 0; code < clear; ++code) {
    at[code] = Literals.bytes + code;
    length[code] = 1;
  }
  unsigned width = minCodeSize + 1;
  unsigned mask = (1u << width) - 1;
  unsigned next = end + 1;
  std::uint64_t bits = 0;
  unsigned held = 0;
  std::size_t read = 0, written = 0;
  bool previous = false;  // none right after a clear code
  std::size_t previousStart = 0, previousLength = 0;
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
    const std::size_t start = written;
    const std::size_t room = pixels - written;
    std::size_t n;
    if (code - clear <= 1 || code >= next) [[unlikely]] {
      if (code == clear) {
        width = minCodeSize + 1;
        mask = (1u << width) - 1;
        next = end + 1;
        previous = false;
        continue;
      }
      if (code == end) return written;
      if (!previous || code > next || next == MaxCodes) return written;  // a code the table does not hold: damaged
      // The code being defined: the string before it and its own first byte.
      n = previousLength + 1;
      const std::uint8_t first = out[previousStart];
      const std::size_t copied = previousLength < room ? previousLength : room;
      std::memmove(out + written, out + previousStart, copied);
      if (copied < room) out[written + copied] = first;
      written += n < room ? n : room;
    } else {
      n = length[code];
      if (n <= 8 && room >= 8) [[likely]] {
        // One eight-byte move; the bytes past the string are written over next.
        std::uint64_t run;
        std::memcpy(&run, at[code], 8);
        std::memcpy(out + written, &run, 8);
        written += n;
      } else {
        const std::size_t copied = n < room ? n : room;
        std::memmove(out + written, at[code], copied);
        written += copied;
      }
    }
    if (previous && next < MaxCodes) {
      at[next] = out + previousStart;
      length[next] = static_cast<std::uint16_t>(previousLength + 1);
      ++next;
      if (next > mask && width < 12) {
        ++width;
        mask = (1u << width) - 1;
      }
    }
    previous = true;
    previousStart = start;
    previousLength = n;
    if (written >= pixels) return pixels;
  }
}

}  // namespace decoder
