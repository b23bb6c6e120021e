#include "viewer/stretch.h"

#include "viewer/stream_store.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

using Pixel = std::uint32_t;

constexpr Pixel Opaque(Pixel rgb) { return 0xFF000000u | rgb; }

// Source coordinate of each visible target coordinate: the source pixel whose
// span holds the target pixel's centre.
std::vector<int> SourceIndices(int first, int last, int origin, int extent, unsigned sourceSize) {
  std::vector<int> map(static_cast<size_t>(std::max(0, last - first)));
  const long long twiceExtent = 2LL * extent;
  for (int t = first; t < last; ++t) {
    const long long offset = 2LL * (t - origin) + 1;
    long long s = offset * sourceSize / twiceExtent;
    map[t - first] = static_cast<int>(std::min<long long>(s, sourceSize - 1));
  }
  return map;
}

std::array<Pixel, 256> PaletteTable(FIBITMAP* src) {
  std::array<Pixel, 256> table{};
  const RGBQUAD* pal = FreeImage_GetPalette(src);
  const unsigned count = std::min(FreeImage_GetColorsUsed(src), 256u);
  for (unsigned i = 0; i < 256; ++i) {
    if (pal && i < count)
      table[i] = Opaque(Pixel(pal[i].rgbRed) << 16 | Pixel(pal[i].rgbGreen) << 8 | pal[i].rgbBlue);
    else
      table[i] = Opaque(i * 0x010101u);  // a missing palette reads as grey
  }
  return table;
}

// Writes one target row from one source row.
template <typename Fetch>
void FillRow(Pixel* out, const std::vector<int>& columns, Fetch fetch) {
  const int* column = columns.data();
  stream_store::WriteRow(out, columns.size(), [column, &fetch](size_t i) { return fetch(column[i]); });
}

}  // namespace

bool StretchNearest(FIBITMAP* src, const TFrameBuffer& frame, int x, int y, int w, int h, bool keepFourthByte) {
  if (!src || FreeImage_GetImageType(src) != FIT_BITMAP || !FreeImage_HasPixels(src)) return false;
  const unsigned bpp = FreeImage_GetBPP(src);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  const unsigned W = FreeImage_GetWidth(src);
  const unsigned H = FreeImage_GetHeight(src);
  if (W == 0 || H == 0 || w <= 0 || h <= 0) return true;

  const int x0 = std::max(0, x);
  const int x1 = static_cast<int>(std::min<long long>(frame.width, static_cast<long long>(x) + w));
  const int y0 = std::max(0, y);
  const int y1 = static_cast<int>(std::min<long long>(frame.height, static_cast<long long>(y) + h));
  if (x0 >= x1 || y0 >= y1) return true;

  const std::vector<int> columns = SourceIndices(x0, x1, x, w, W);
  const std::vector<int> rows = SourceIndices(y0, y1, y, h, H);
  const std::array<Pixel, 256> palette = bpp <= 8 ? PaletteTable(src) : std::array<Pixel, 256>{};
  const unsigned redMask = FreeImage_GetRedMask(src);
  const bool is565 = bpp == 16 && redMask == FI16_565_RED_MASK;

  auto* base = reinterpret_cast<unsigned char*>(frame.pixels);
  int previousSource = -1;
  Pixel* previousOut = nullptr;
  for (int ty = y0; ty < y1; ++ty) {
    Pixel* out = reinterpret_cast<Pixel*>(base + static_cast<size_t>(ty) * frame.strideBytes) + x0;
    const int sy = rows[ty - y0];
    if (sy == previousSource) {  // enlarging: the row repeats
      stream_store::Copy(out, previousOut, columns.size());
      continue;
    }
    // FreeImage stores rows bottom-up.
    const BYTE* line = FreeImage_GetScanLine(src, H - 1 - sy);
    switch (bpp) {
      case 32:
        if (keepFourthByte) {
          FillRow(out, columns, [line](int sx) {
            Pixel p;
            std::memcpy(&p, line + 4 * sx, 4);
            return p;
          });
          break;
        }
        FillRow(out, columns, [line](int sx) {
          Pixel p;
          std::memcpy(&p, line + 4 * sx, 4);
          return Opaque(p);  // alpha is ignored
        });
        break;
      case 24:
        FillRow(out, columns, [line](int sx) {
          const BYTE* p = line + 3 * sx;
          return Opaque(Pixel(p[FI_RGBA_RED]) << 16 | Pixel(p[FI_RGBA_GREEN]) << 8 | p[FI_RGBA_BLUE]);
        });
        break;
      case 16:
        FillRow(out, columns, [line, is565](int sx) {
          const unsigned v = line[2 * sx] | unsigned(line[2 * sx + 1]) << 8;
          unsigned r, g, b;
          if (is565) {
            r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
            g = (g << 2) | (g >> 4);
          } else {
            r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            g = (g << 3) | (g >> 2);
          }
          r = (r << 3) | (r >> 2);
          b = (b << 3) | (b >> 2);
          return Opaque(r << 16 | g << 8 | b);
        });
        break;
      case 8:
        FillRow(out, columns, [line, &palette](int sx) { return palette[line[sx]]; });
        break;
      case 4:
        FillRow(out, columns, [line, &palette](int sx) {
          const BYTE b = line[sx >> 1];
          return palette[(sx & 1) ? (b & 0x0F) : (b >> 4)];
        });
        break;
      case 1:
        FillRow(out, columns, [line, &palette](int sx) {
          return palette[(line[sx >> 3] >> (7 - (sx & 7))) & 1];
        });
        break;
    }
    previousSource = sy;
    previousOut = out;
  }
  stream_store::Fence();
  return true;
}
