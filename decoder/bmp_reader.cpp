#include "decoder/bmp_reader.h"
#include "platform/free_bitmap.h"
#include "platform/posix_io.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace decoder {

namespace {

constexpr std::uint32_t BiRgb = 0;
constexpr std::uint32_t BiBitfields = 3;
constexpr std::uint32_t BiAlphaBitfields = 6;
constexpr std::uint32_t ProfileEmbedded = 0x4D424544;  // 'MBED'
constexpr std::int64_t MaxSide = 1 << 16;              // as FreeImage's other readers
constexpr std::uint32_t MaxProfileBytes = 16u << 20;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool ReadAt(std::FILE* file, std::uint64_t offset, void* into, std::size_t bytes) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max())) return false;
  return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(into, 1, bytes, file) == bytes;
}

// One colour channel laid out by a bit mask, scaled to 8 bits.
struct TChannel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  // A mask must be one run of bits; an empty one reads as 0.
  bool Set(std::uint32_t m) {
    mask = m;
    if (!m) return true;
    shift = std::countr_zero(m);
    bits = std::popcount(m);
    return (m >> shift) == (bits == 32 ? ~0u : (1u << bits) - 1);
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (!mask) return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
    return static_cast<std::uint8_t>(v * 255u / ((1u << bits) - 1));
  }
};

struct THeader {
  std::uint32_t dataOffset = 0;
  std::uint32_t infoSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: rows top-down
  unsigned bpp = 0;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::int32_t dpmX = 0, dpmY = 0;
  std::uint32_t masks[4] = {};  // red, green, blue, alpha
  std::uint32_t csType = 0;
  std::uint32_t profileOffset = 0, profileBytes = 0;
};

bool ReadHeader(std::FILE* file, std::uint64_t fileBytes, THeader& h) {
  std::uint8_t head[14 + 124] = {};
  if (!ReadAt(file, 0, head, 18) || head[0] != 'B' || head[1] != 'M') return false;
  h.dataOffset = U32(head + 10);
  h.infoSize = U32(head + 14);
  if (h.infoSize != 40 && h.infoSize != 52 && h.infoSize != 56 && h.infoSize != 108 && h.infoSize != 124) return false;
  if (!ReadAt(file, 14, head + 14, h.infoSize)) return false;
  const std::uint8_t* info = head + 14;
  h.width = static_cast<std::int32_t>(U32(info + 4));
  h.height = static_cast<std::int32_t>(U32(info + 8));
  if (U16(info + 12) != 1) return false;
  h.bpp = U16(info + 14);
  h.compression = U32(info + 16);
  h.dpmX = static_cast<std::int32_t>(U32(info + 24));
  h.dpmY = static_cast<std::int32_t>(U32(info + 28));
  h.colorsUsed = U32(info + 32);
  std::uint64_t after = 14 + h.infoSize;  // where a palette or separate masks start
  if (h.compression == BiBitfields || h.compression == BiAlphaBitfields) {
    const int count = h.compression == BiAlphaBitfields ? 4 : 3;
    if (h.infoSize >= 52) {
      for (int i = 0; i < (h.infoSize >= 56 ? 4 : 3); ++i) h.masks[i] = U32(info + 40 + 4 * i);
    } else {
      std::uint8_t masks[16];
      if (!ReadAt(file, after, masks, 4u * count)) return false;
      for (int i = 0; i < count; ++i) h.masks[i] = U32(masks + 4 * i);
      after += 4u * count;
    }
  }
  if (h.infoSize >= 108) h.csType = U32(info + 56);
  if (h.infoSize >= 124) {
    h.profileOffset = U32(info + 112);
    h.profileBytes = U32(info + 116);
  }
  // Sizes first, so that nothing below can overflow.
  if (h.width <= 0 || h.width > MaxSide || h.height == 0 || h.height > MaxSide || h.height < -MaxSide) return false;
  if (h.dataOffset < after || h.dataOffset >= fileBytes) return false;
  return true;
}

std::uint64_t RowBytes(std::int64_t width, unsigned bpp) {
  return (static_cast<std::uint64_t>(width) * bpp + 31) / 32 * 4;
}

bool ReadPalette(std::FILE* file, const THeader& h, FIBITMAP* dib) {
  const unsigned most = 1u << h.bpp;
  const unsigned count = h.colorsUsed == 0 || h.colorsUsed > most ? most : h.colorsUsed;
  const std::uint64_t start = 14 + h.infoSize;
  if (start + 4ull * count > h.dataOffset) return false;  // the palette lies before the pixels
  std::vector<std::uint8_t> bytes(4ull * count);
  if (!ReadAt(file, start, bytes.data(), bytes.size())) return false;
  RGBQUAD* palette = FreeImage_GetPalette(dib);
  for (unsigned i = 0; i < count; ++i) {
    palette[i].rgbBlue = bytes[4 * i];
    palette[i].rgbGreen = bytes[4 * i + 1];
    palette[i].rgbRed = bytes[4 * i + 2];
    palette[i].rgbReserved = 0;
  }
  return true;
}

void AttachProfile(std::FILE* file, std::uint64_t fileBytes, const THeader& h, FIBITMAP* dib) {
  if (h.csType != ProfileEmbedded || h.profileBytes == 0 || h.profileBytes > MaxProfileBytes) return;
  const std::uint64_t at = 14ull + h.profileOffset;  // counted from the info header
  if (at + h.profileBytes > fileBytes) return;
  std::vector<std::uint8_t> profile(h.profileBytes);
  if (ReadAt(file, at, profile.data(), profile.size()))
    FreeImage_CreateICCProfile(dib, profile.data(), static_cast<long>(profile.size()));
}

}  // namespace

FIBITMAP* ReadBmp(std::FILE* file) {
  if (!file) return nullptr;
  const TFileStatus status = StatusOfDescriptor(::fileno(file));
  if (status.kind == TFileKind::Missing || status.size <= 0) return nullptr;
  const auto fileBytes = static_cast<std::uint64_t>(status.size);
  THeader h;
  if (!ReadHeader(file, fileBytes, h)) return nullptr;

  const bool palette = h.bpp == 1 || h.bpp == 4 || h.bpp == 8;
  const bool masked = h.compression == BiBitfields || h.compression == BiAlphaBitfields;
  if (palette ? h.compression != BiRgb
              : !(h.bpp == 24 && h.compression == BiRgb) &&
                    !((h.bpp == 16 || h.bpp == 32) && (h.compression == BiRgb || masked)))
    return nullptr;
  TChannel channels[4];
  if (h.bpp == 16 || h.bpp == 32) {
    std::uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], masked ? h.masks[3] : 0};
    if (!masked) {  // the fixed layouts of plain 16- and 32-bit pixels
      masks[0] = h.bpp == 16 ? 0x7C00 : 0xFF0000;
      masks[1] = h.bpp == 16 ? 0x03E0 : 0x00FF00;
      masks[2] = h.bpp == 16 ? 0x001F : 0x0000FF;
    }
    for (int i = 0; i < 4; ++i)
      if (!channels[i].Set(masks[i])) return nullptr;
  }
  const bool alpha = channels[3].mask != 0;

  const std::uint64_t rowBytes = RowBytes(h.width, h.bpp);
  const auto height = static_cast<unsigned>(h.height < 0 ? -h.height : h.height);
  const auto width = static_cast<unsigned>(h.width);
  if (h.dataOffset + rowBytes * height > fileBytes) return nullptr;  // rows the file does not hold

  const int outBpp = palette ? static_cast<int>(h.bpp) : alpha ? 32 : 24;
  TFreeBitmap owned(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), outBpp, FI_RGBA_RED_MASK,
                                       FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  FIBITMAP* dib = owned.Dib();
  if (!dib || (palette && !ReadPalette(file, h, dib))) return nullptr;

  std::vector<std::uint8_t> row(rowBytes);
  bool anyAlpha = false;
  bool ok = std::fseek(file, static_cast<long>(h.dataOffset), SEEK_SET) == 0;
  for (unsigned i = 0; i < height && ok; ++i) {
    ok = std::fread(row.data(), 1, row.size(), file) == row.size();
    if (!ok) break;
    // FreeImage keeps rows bottom-up, as a BMP of positive height does.
    BYTE* out = FreeImage_GetScanLine(dib, static_cast<int>(h.height < 0 ? height - 1 - i : i));
    if (palette || h.bpp == 24) {
      std::memcpy(out, row.data(), static_cast<std::size_t>(RowBytes(h.width, h.bpp)));
      continue;
    }
    const unsigned step = static_cast<unsigned>(outBpp / 8);
    for (unsigned x = 0; x < width; ++x, out += step) {
      const std::uint32_t pixel = h.bpp == 16 ? U16(row.data() + 2 * x) : U32(row.data() + 4 * x);
      out[FI_RGBA_RED] = channels[0].Of(pixel);
      out[FI_RGBA_GREEN] = channels[1].Of(pixel);
      out[FI_RGBA_BLUE] = channels[2].Of(pixel);
      if (alpha) {
        out[FI_RGBA_ALPHA] = channels[3].Of(pixel);
        anyAlpha = anyAlpha || out[FI_RGBA_ALPHA] != 0;
      }
    }
  }
  if (!ok) return nullptr;
  // An alpha mask over pixels that are all 0 there is an unused channel
  // (writers leave it so), not a picture that is wholly transparent.
  if (alpha && !anyAlpha)
    for (unsigned y = 0; y < height; ++y) {
      BYTE* out = FreeImage_GetScanLine(dib, static_cast<int>(y));
      for (unsigned x = 0; x < width; ++x) out[4 * x + FI_RGBA_ALPHA] = 0xFF;
    }
  if (h.dpmX > 0) FreeImage_SetDotsPerMeterX(dib, static_cast<unsigned>(h.dpmX));
  if (h.dpmY > 0) FreeImage_SetDotsPerMeterY(dib, static_cast<unsigned>(h.dpmY));
  AttachProfile(file, fileBytes, h, dib);
  return owned.Release();
}

}  // namespace decoder
