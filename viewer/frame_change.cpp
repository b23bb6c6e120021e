#include "viewer/frame_change.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

bool SameBytes(const void* a, const void* b, std::size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }

// What is drawn around and over the pixels alike: the colour clear pixels
// are shown over, and the profile the colours are converted with.
bool SameSurroundings(FIBITMAP* a, FIBITMAP* b) {
  const bool background = FreeImage_HasBackgroundColor(a);
  if (background != bool(FreeImage_HasBackgroundColor(b))) return false;
  if (background) {
    RGBQUAD ca{}, cb{};
    FreeImage_GetBackgroundColor(a, &ca);
    FreeImage_GetBackgroundColor(b, &cb);
    if (std::memcmp(&ca, &cb, sizeof ca) != 0) return false;
  }
  const FIICCPROFILE* ia = FreeImage_GetICCProfile(a);
  const FIICCPROFILE* ib = FreeImage_GetICCProfile(b);
  const long sa = ia ? ia->size : 0, sb = ib ? ib->size : 0;
  return sa == sb && (sa == 0 || SameBytes(ia->data, ib->data, static_cast<std::size_t>(sa)));
}

// Whether the two keep their pixels alike, so that equal bytes show alike:
// the same depth, layout, palette and transparency.
bool SameLayout(FIBITMAP* a, FIBITMAP* b) {
  if (FreeImage_GetBPP(a) != FreeImage_GetBPP(b) || FreeImage_GetImageType(a) != FreeImage_GetImageType(b) ||
      FreeImage_GetRedMask(a) != FreeImage_GetRedMask(b))
    return false;
  const unsigned colours = FreeImage_GetColorsUsed(a);
  if (colours != FreeImage_GetColorsUsed(b)) return false;
  const RGBQUAD* pa = FreeImage_GetPalette(a);
  const RGBQUAD* pb = FreeImage_GetPalette(b);
  if ((pa == nullptr) != (pb == nullptr) || (pa && !SameBytes(pa, pb, colours * sizeof(RGBQUAD)))) return false;
  if (FreeImage_IsTransparent(a) != FreeImage_IsTransparent(b)) return false;
  const unsigned clear = FreeImage_GetTransparencyCount(a);
  return clear == FreeImage_GetTransparencyCount(b) &&
         SameBytes(FreeImage_GetTransparencyTable(a), FreeImage_GetTransparencyTable(b), clear);
}

using TShown = std::uint32_t;  // alpha and colour as a pixel shows: 0 where wholly clear

TShown Shown(unsigned alpha, unsigned red, unsigned green, unsigned blue) {
  return alpha == 0 ? 0 : TShown(alpha) << 24 | red << 16 | green << 8 | blue;
}

// Reads how the pixels of a standard bitmap of 8, 24 or 32 bits show. A
// pixel that is not clear shows the same whether it is drawn as it is or
// composited, so bitmaps that differ only in their palettes or in whether
// they are marked transparent compare by what they show.
class TShownPixels {
public:
  static bool Readable(FIBITMAP* dib) {
    const unsigned bpp = FreeImage_GetBPP(dib);
    return FreeImage_GetImageType(dib) == FIT_BITMAP && (bpp == 8 || bpp == 24 || bpp == 32);
  }
  explicit TShownPixels(FIBITMAP* dib) : FBpp(FreeImage_GetBPP(dib)), FClear(FreeImage_IsTransparent(dib)) {
    if (FBpp != 8) return;
    const RGBQUAD* palette = FreeImage_GetPalette(dib);
    const unsigned colours = std::min(FreeImage_GetColorsUsed(dib), 256u);
    const BYTE* alphas = FClear ? FreeImage_GetTransparencyTable(dib) : nullptr;
    const unsigned counted = alphas ? FreeImage_GetTransparencyCount(dib) : 0;
    for (unsigned i = 0; i < 256; ++i) {
      const unsigned alpha = i < counted ? alphas[i] : 255;
      if (palette && i < colours)
        FTable[i] = Shown(alpha, palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
      else
        FTable[i] = Shown(alpha, i, i, i);  // as the painter reads a missing palette
    }
  }
  unsigned Bpp() const { return FBpp; }
  TShown At(const BYTE* row, unsigned x) const {
    return FBpp == 8 ? At8(row, x) : FBpp == 24 ? At24(row, x) : At32(row, x);
  }
  TShown At8(const BYTE* row, unsigned x) const { return FTable[row[x]]; }
  TShown At24(const BYTE* row, unsigned x) const {
    const BYTE* p = row + 3 * x;
    return Shown(255, p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE]);
  }
  TShown At32(const BYTE* row, unsigned x) const {
    const BYTE* p = row + 4 * x;
    return Shown(FClear ? p[FI_RGBA_ALPHA] : 255, p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE]);
  }

private:
  unsigned FBpp;
  bool FClear;
  std::array<TShown, 256> FTable{};
};

// The smallest area of width x height holding every unit (a byte or a
// pixel) for which differs(rowA, rowB, unit) holds, the rows counted from
// the top; empty when none.
template <typename Row, typename Differs>
TPixelArea Scan(unsigned width, unsigned height, Row row, Differs differs) {
  const auto rowDiffers = [&](unsigned y) {
    const BYTE* a = row(0, y);
    const BYTE* b = row(1, y);
    for (unsigned x = 0; x < width; ++x)
      if (differs(a, b, x)) return true;
    return false;
  };
  unsigned top = 0;
  while (top < height && !rowDiffers(top)) ++top;
  if (top == height) return {};
  unsigned bottom = height;
  while (!rowDiffers(bottom - 1)) --bottom;
  unsigned left = width, right = 0;
  for (unsigned y = top; y < bottom; ++y) {
    const BYTE* a = row(0, y);
    const BYTE* b = row(1, y);
    for (unsigned x = 0; x < left; ++x)
      if (differs(a, b, x)) {
        left = x;
        break;
      }
    for (unsigned x = width; x > std::max(right, left); --x)
      if (differs(a, b, x - 1)) {
        right = x;
        break;
      }
  }
  return TPixelArea{int(left), int(top), int(right), int(bottom)};  // a differing unit lies in both scans
}

}  // namespace

std::optional<TPixelArea> ChangedArea(FIBITMAP* before, FIBITMAP* after) {
  if (!before || !after || !FreeImage_HasPixels(before) || !FreeImage_HasPixels(after)) return std::nullopt;
  const unsigned width = FreeImage_GetWidth(after), height = FreeImage_GetHeight(after);
  if (FreeImage_GetWidth(before) != width || FreeImage_GetHeight(before) != height || width == 0 || height == 0 ||
      !SameSurroundings(before, after))
    return std::nullopt;
  // FreeImage keeps the bottom row first.
  FIBITMAP* const pair[2] = {before, after};
  const auto row = [&](int which, unsigned y) { return FreeImage_GetScanLine(pair[which], int(height - 1 - y)); };

  if (SameLayout(before, after)) {
    // Equal bytes show alike: rows compare as bytes, the padding at their
    // ends left out, whole rows at once where they are the same.
    const unsigned bpp = FreeImage_GetBPP(after);
    const std::size_t rowBytes = (std::size_t(width) * bpp + 7) / 8;
    const auto sameRow = [&](unsigned y) { return SameBytes(row(0, y), row(1, y), rowBytes); };
    unsigned top = 0, bottom = height;
    while (top < height && sameRow(top)) ++top;
    if (top == height) return TPixelArea{};
    while (sameRow(bottom - 1)) --bottom;
    const TPixelArea bytes = Scan(
        unsigned(rowBytes), bottom - top, [&](int which, unsigned y) { return row(which, top + y); },
        [](const BYTE* a, const BYTE* b, unsigned x) { return a[x] != b[x]; });
    // Bytes to the pixels they hold a part of.
    return TPixelArea{int(std::size_t(bytes.x0) * 8 / bpp), int(top),
                      int(std::min<std::size_t>(width, (std::size_t(bytes.x1) * 8 + bpp - 1) / bpp)), int(bottom)};
  }
  if (!TShownPixels::Readable(before) || !TShownPixels::Readable(after)) return std::nullopt;
  const TShownPixels a(before), b(after);
  // The common pairs of depths with the reading of a pixel inlined; any
  // other pair through the depth asked each time.
  const auto scan = [&](auto readA, auto readB) {
    return Scan(width, height, row,
                [&](const BYTE* ra, const BYTE* rb, unsigned x) { return readA(ra, x) != readB(rb, x); });
  };
  const auto eight = [](const TShownPixels& p) { return [&p](const BYTE* r, unsigned x) { return p.At8(r, x); }; };
  const auto full = [](const TShownPixels& p) { return [&p](const BYTE* r, unsigned x) { return p.At32(r, x); }; };
  const auto any = [](const TShownPixels& p) { return [&p](const BYTE* r, unsigned x) { return p.At(r, x); }; };
  if (a.Bpp() == 8 && b.Bpp() == 8) return scan(eight(a), eight(b));
  if (a.Bpp() == 32 && b.Bpp() == 32) return scan(full(a), full(b));
  return scan(any(a), any(b));
}
