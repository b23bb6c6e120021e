// The GIF LZW decoder against FreeImage's on pictures FreeImage coded, and
// on damaged data: it stops where the data turns bad and never writes past
// the pixels it was given.
#include "decoder/gif_lzw.h"
#include "platform/free_bitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

using decoder::DecodeGifLzw;

namespace {

struct TCoded {
  unsigned minCodeSize = 0;
  std::vector<std::uint8_t> data;  // the sub-blocks joined
  unsigned width = 0, height = 0;
};

// The first image's coded data of a GIF in memory.
TCoded FirstImage(const std::vector<std::uint8_t>& gif) {
  TCoded coded;
  std::size_t at = 13;
  if (gif.size() < at) return coded;
  if (gif[10] & 0x80) at += 3u << ((gif[10] & 7) + 1);
  while (at + 2 < gif.size() && gif[at] == 0x21) {
    at += 2;
    while (at < gif.size() && gif[at] != 0) at += gif[at] + 1u;
    ++at;
  }
  if (at + 10 > gif.size() || gif[at] != 0x2C) return coded;
  coded.width = gif[at + 5] | unsigned(gif[at + 6]) << 8;
  coded.height = gif[at + 7] | unsigned(gif[at + 8]) << 8;
  const std::uint8_t flags = gif[at + 9];
  at += 10;
  if (flags & 0x80) at += 3u << ((flags & 7) + 1);
  coded.minCodeSize = gif[at++];
  while (at < gif.size() && gif[at] != 0) {
    const std::size_t n = gif[at];
    coded.data.insert(coded.data.end(), gif.begin() + std::ptrdiff_t(at) + 1, gif.begin() + std::ptrdiff_t(at + 1 + n));
    at += n + 1;
  }
  return coded;
}

// dib saved by FreeImage as a GIF, and FreeImage's indices of it read back.
TCoded SaveAsGif(FIBITMAP* dib, std::vector<std::uint8_t>& indices) {
  FIMEMORY* memory = FreeImage_OpenMemory();
  EXPECT_TRUE(FreeImage_SaveToMemory(FIF_GIF, dib, memory));
  BYTE* bytes = nullptr;
  DWORD size = 0;
  FreeImage_AcquireMemory(memory, &bytes, &size);
  const std::vector<std::uint8_t> gif(bytes, bytes + size);
  FreeImage_SeekMemory(memory, 0, SEEK_SET);
  const TFreeBitmap back(FreeImage_LoadFromMemory(FIF_GIF, memory, 0));
  FreeImage_CloseMemory(memory);
  EXPECT_TRUE(back.IsValid());
  indices.clear();
  for (unsigned y = 0; back.IsValid() && y < back.Height(); ++y) {
    const BYTE* row = FreeImage_GetScanLine(back.Dib(), int(back.Height() - 1 - y));
    indices.insert(indices.end(), row, row + back.Width());
  }
  return FirstImage(gif);
}

FIBITMAP* Indexed(unsigned width, unsigned height, unsigned colours, std::uint32_t seed, bool runs) {
  FIBITMAP* dib = FreeImage_Allocate(int(width), int(height), 8);
  std::mt19937 random(seed);
  for (unsigned y = 0; y < height; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, int(y));
    for (unsigned x = 0; x < width; ++x) row[x] = runs ? BYTE((x / 7 + y / 3) % colours) : BYTE(random() % colours);
  }
  return dib;
}

TEST(GifLzw, DecodesWhatFreeImageCodedPixelForPixel) {
  // Noise fills the table many times over (12-bit codes, clear codes);
  // runs make the codes that stand for the string being defined; two
  // colours give the smallest code size.
  struct TCase {
    unsigned width, height, colours;
    bool runs;
  };
  for (const TCase& c : {TCase{301, 203, 256, false}, TCase{640, 80, 5, true}, TCase{33, 17, 2, false}}) {
    const TFreeBitmap dib(Indexed(c.width, c.height, c.colours, c.width, c.runs));
    std::vector<std::uint8_t> want;
    const TCoded coded = SaveAsGif(dib.Dib(), want);
    ASSERT_EQ(coded.width, c.width);
    ASSERT_EQ(want.size(), std::size_t(c.width) * c.height);
    std::vector<std::uint8_t> got(want.size());
    EXPECT_EQ(DecodeGifLzw(coded.data.data(), coded.data.size(), coded.minCodeSize, got.data(), got.size()),
              got.size());
    EXPECT_EQ(got, want) << c.width << " x " << c.height;
  }
}

TEST(GifLzw, DamagedDataEndsTheDecodeWhereItTurnsBad) {
  const TFreeBitmap dib(Indexed(120, 90, 256, 7, false));
  std::vector<std::uint8_t> want;
  const TCoded coded = SaveAsGif(dib.Dib(), want);
  ASSERT_FALSE(coded.data.empty());

  // Cut short: the pixels before the cut, as they were.
  std::vector<std::uint8_t> got(want.size());
  const std::size_t half =
      DecodeGifLzw(coded.data.data(), coded.data.size() / 2, coded.minCodeSize, got.data(), got.size());
  EXPECT_GT(half, 0u);
  EXPECT_LT(half, got.size());
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + std::ptrdiff_t(half), want.begin()));

  // More data than pixels: exactly the pixels, nothing past them (the
  // guard bytes stay).
  std::vector<std::uint8_t> small(100 + 16, 0xEE);
  EXPECT_EQ(DecodeGifLzw(coded.data.data(), coded.data.size(), coded.minCodeSize, small.data(), 100), 100u);
  EXPECT_TRUE(std::equal(small.begin(), small.begin() + 100, want.begin()));
  EXPECT_EQ(std::count(small.begin() + 100, small.end(), 0xEE), 16);

  // A code the table does not hold yet, right after the first literal.
  const std::uint8_t unknown[] = {0xCC, 0x01};  // codes 4 (clear), 1, 7 at 3 bits each
  EXPECT_EQ(DecodeGifLzw(unknown, sizeof unknown, 2, got.data(), got.size()), 1u);
  EXPECT_EQ(DecodeGifLzw(coded.data.data(), coded.data.size(), 0, got.data(), got.size()), 0u);
  EXPECT_EQ(DecodeGifLzw(coded.data.data(), coded.data.size(), 9, got.data(), got.size()), 0u);

  // Noise as data, every code size: whatever comes out stays within the pixels.
  std::mt19937 random(11);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> noise(1 + random() % 600);
    for (std::uint8_t& b : noise) b = std::uint8_t(random());
    std::vector<std::uint8_t> out(64 + 16, 0xEE);
    EXPECT_LE(DecodeGifLzw(noise.data(), noise.size(), 1 + unsigned(round % 8), out.data(), 64), 64u);
    EXPECT_EQ(std::count(out.begin() + 64, out.end(), 0xEE), 16) << round;
  }
}

// Codes packed as GIF packs them, from the lowest bit up.
class TCodeWriter {
public:
  void Put(unsigned code, unsigned width) {
    bits |= std::uint64_t(code) << held;
    held += width;
    for (; held >= 8; held -= 8, bits >>= 8) data.push_back(std::uint8_t(bits));
  }
  std::vector<std::uint8_t> Finish() {
    if (held > 0) data.push_back(std::uint8_t(bits));
    return data;
  }

private:
  std::uint64_t bits = 0;
  unsigned held = 0;
  std::vector<std::uint8_t> data;
};

// The textbook decoder: each code's string as a prefix code and a last byte.
std::vector<std::uint8_t> ReferenceDecode(const std::vector<unsigned>& codes, unsigned minCodeSize) {
  const unsigned clear = 1u << minCodeSize, end = clear + 1;
  std::vector<unsigned> prefix(4096), suffix(4096), first(4096);
  for (unsigned c = 0; c < clear; ++c) suffix[c] = first[c] = c;
  std::vector<std::uint8_t> out;
  unsigned next = end + 1;
  int previous = -1;
  const auto write = [&](unsigned code) {
    std::vector<std::uint8_t> string;
    for (; code >= clear; code = prefix[code]) string.push_back(std::uint8_t(suffix[code]));
    string.push_back(std::uint8_t(code));
    out.insert(out.end(), string.rbegin(), string.rend());
  };
  for (const unsigned code : codes) {
    if (code == clear) {
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code == end) break;
    const bool defining = code == next;
    if (previous >= 0 && next < 4096) {
      prefix[next] = unsigned(previous);
      suffix[next] = first[defining ? unsigned(previous) : code];
      first[next] = first[unsigned(previous)];
      ++next;
    }
    write(code);
    previous = int(code);
  }
  return out;
}

TEST(GifLzw, AgreesWithTheTextbookDecoderOnEveryKindOfCodeStream) {
  // Random valid streams: literals, table codes, the code being defined, a
  // full table kept (no clear for a while at 12 bits), and clear codes.
  std::mt19937 random(5);
  for (int round = 0; round < 60; ++round) {
    const unsigned minCodeSize = std::array<unsigned, 4>{2, 3, 5, 8}[round % 4];
    const unsigned clear = 1u << minCodeSize, end = clear + 1;
    std::vector<unsigned> codes;
    TCodeWriter writer;
    unsigned width = minCodeSize + 1, next = end + 1;
    bool previous = false;
    const auto put = [&](unsigned code) {
      codes.push_back(code);
      writer.Put(code, width);
    };
    put(clear);
    const int count = 2000 + int(random() % 9000);
    for (int i = 0; i < count; ++i) {
      if (random() % 3000 == 0) {
        put(clear);
        width = minCodeSize + 1;
        next = end + 1;
        previous = false;
        continue;
      }
      const unsigned highest = previous && next < 4096 ? next : next - 1;  // next: the code being defined
      unsigned code = random() % 4 == 0 ? unsigned(random() % clear) : unsigned(random() % (highest + 1));
      if (code == clear || code == end) code = random() % clear;
      put(code);
      if (previous && next < 4096) {
        ++next;
        if (next == 1u << width && width < 12) ++width;
      }
      previous = true;
    }
    put(end);
    const std::vector<std::uint8_t> data = writer.Finish();
    const std::vector<std::uint8_t> want = ReferenceDecode(codes, minCodeSize);
    std::vector<std::uint8_t> got(want.size() + 16, 0xEE);
    ASSERT_EQ(DecodeGifLzw(data.data(), data.size(), minCodeSize, got.data(), want.size()), want.size()) << round;
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin())) << round;
    EXPECT_EQ(std::count(got.begin() + std::ptrdiff_t(want.size()), got.end(), 0xEE), 16) << round;
  }
}

}  // namespace
