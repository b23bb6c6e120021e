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

// n / m rounded up, for m > 0 and n of either sign.
long long CeilDiv(long long n, long long m) { return n >= 0 ? (n + m - 1) / m : -((-n) / m); }

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

// Writes one target row from one source row: streamed past the cache into a
// frame, or stored plainly into a buffer that is read again at once.
template <bool Stream, typename Fetch>
void FillRow(Pixel* out, const std::vector<int>& columns, Fetch fetch) {
  const int* column = columns.data();
  if constexpr (Stream) {
    stream_store::WriteRow(out, columns.size(), [column, &fetch](size_t i) { return fetch(column[i]); });
  } else {
    for (size_t i = 0; i < columns.size(); ++i) out[i] = fetch(column[i]);
  }
}

bool Supported(FIBITMAP* src) {
  if (!src || FreeImage_GetImageType(src) != FIT_BITMAP || !FreeImage_HasPixels(src)) return false;
  const unsigned bpp = FreeImage_GetBPP(src);
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// What a stretch of src into a rectangle of a frame reads: for each visible
// target column and row, its source column and row.
struct TPlan {
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  std::vector<int> columns, rows;
  unsigned bpp = 0, height = 0;
  bool is565 = false;
  bool keepFourthByte = false;
  std::array<Pixel, 256> palette{};
};

// False when nothing of the rectangle is visible.
bool MakePlan(FIBITMAP* src, int frameWidth, int frameHeight, int x, int y, int w, int h, bool keepFourthByte,
              TPlan& plan) {
  const unsigned W = FreeImage_GetWidth(src);
  const unsigned H = FreeImage_GetHeight(src);
  if (W == 0 || H == 0 || w <= 0 || h <= 0) return false;
  plan.x0 = std::max(0, x);
  plan.x1 = static_cast<int>(std::min<long long>(frameWidth, static_cast<long long>(x) + w));
  plan.y0 = std::max(0, y);
  plan.y1 = static_cast<int>(std::min<long long>(frameHeight, static_cast<long long>(y) + h));
  if (plan.x0 >= plan.x1 || plan.y0 >= plan.y1) return false;
  plan.columns = SourceIndices(plan.x0, plan.x1, x, w, W);
  plan.rows = SourceIndices(plan.y0, plan.y1, y, h, H);
  plan.bpp = FreeImage_GetBPP(src);
  plan.height = H;
  if (plan.bpp <= 8) plan.palette = PaletteTable(src);
  plan.is565 = plan.bpp == 16 && FreeImage_GetRedMask(src) == FI16_565_RED_MASK;
  plan.keepFourthByte = keepFourthByte;
  return true;
}

// Writes the target row of source row sy.
template <bool Stream>
void FetchRow(FIBITMAP* src, const TPlan& plan, int sy, Pixel* out) {
  const std::vector<int>& columns = plan.columns;
  // FreeImage stores rows bottom-up.
  const BYTE* line = FreeImage_GetScanLine(src, static_cast<int>(plan.height) - 1 - sy);
  switch (plan.bpp) {
    case 32:
      if (plan.keepFourthByte) {
        FillRow<Stream>(out, columns, [line](int sx) {
          Pixel p;
          std::memcpy(&p, line + 4 * sx, 4);
          return p;
        });
        break;
      }
      FillRow<Stream>(out, columns, [line](int sx) {
        Pixel p;
        std::memcpy(&p, line + 4 * sx, 4);
        return Opaque(p);  // alpha is ignored
      });
      break;
    case 24:
      FillRow<Stream>(out, columns, [line](int sx) {
        const BYTE* p = line + 3 * sx;
        return Opaque(Pixel(p[FI_RGBA_RED]) << 16 | Pixel(p[FI_RGBA_GREEN]) << 8 | p[FI_RGBA_BLUE]);
      });
      break;
    case 16:
      FillRow<Stream>(out, columns, [line, is565 = plan.is565](int sx) {
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
    case 8: FillRow<Stream>(out, columns, [line, &palette = plan.palette](int sx) { return palette[line[sx]]; }); break;
    case 4:
      FillRow<Stream>(out, columns, [line, &palette = plan.palette](int sx) {
        const BYTE b = line[sx >> 1];
        return palette[(sx & 1) ? (b & 0x0F) : (b >> 4)];
      });
      break;
    case 1:
      FillRow<Stream>(out, columns, [line, &palette = plan.palette](int sx) {
        return palette[(line[sx >> 3] >> (7 - (sx & 7))) & 1];
      });
      break;
  }
}

}  // namespace

bool CanStretch(FIBITMAP* src) { return Supported(src); }

TTargetSpan TargetSpan(int sourceFirst, int sourceLast, int origin, int extent, unsigned sourceSize) {
  if (extent <= 0 || sourceSize == 0 || sourceFirst >= sourceLast) return {};
  // Target t reads source (2 (t - origin) + 1) S / 2E, rounded down, which
  // is at least a from t - origin >= (2Ea - S) / 2S on, and below b until
  // t - origin >= (2Eb - S) / 2S. Every product stays within 64 bits.
  const long long S = sourceSize, E = extent;
  const auto from = [&](long long a) { return std::clamp(CeilDiv(2 * E * a - S, 2 * S), 0LL, E); };
  const long long first = from(std::max(0, sourceFirst)), last = from(std::min<long long>(sourceLast, S));
  return first < last ? TTargetSpan{origin + first, origin + last} : TTargetSpan{};
}

bool StretchNearest(FIBITMAP* src, const TFrameBuffer& frame, int x, int y, int w, int h, bool keepFourthByte) {
  if (!Supported(src)) return false;
  TPlan plan;
  if (!MakePlan(src, frame.width, frame.height, x, y, w, h, keepFourthByte, plan)) return true;
  auto* base = reinterpret_cast<unsigned char*>(frame.pixels);
  int previousSource = -1;
  Pixel* previousOut = nullptr;
  for (int ty = plan.y0; ty < plan.y1; ++ty) {
    Pixel* out = reinterpret_cast<Pixel*>(base + static_cast<size_t>(ty) * frame.strideBytes) + plan.x0;
    const int sy = plan.rows[ty - plan.y0];
    if (sy == previousSource) {  // enlarging: the row repeats
      stream_store::Copy(out, previousOut, plan.columns.size());
      continue;
    }
    FetchRow<true>(src, plan, sy, out);
    previousSource = sy;
    previousOut = out;
  }
  stream_store::Fence();
  return true;
}

bool StretchNearestRows(FIBITMAP* src, const TFrameBuffer& frame, int x, int y, int w, int h, bool keepFourthByte,
                        const TStretchRow& row) {
  if (!Supported(src)) return false;
  TPlan plan;
  if (!MakePlan(src, frame.width, frame.height, x, y, w, h, keepFourthByte, plan)) return true;
  std::vector<Pixel> buffer(plan.columns.size());
  const int n = static_cast<int>(plan.columns.size());
  int previousSource = -1;
  for (int ty = plan.y0; ty < plan.y1; ++ty) {
    const int sy = plan.rows[ty - plan.y0];
    if (sy == previousSource) {
      row(ty, plan.x0, n, nullptr);
      continue;
    }
    FetchRow<false>(src, plan, sy, buffer.data());
    row(ty, plan.x0, n, buffer.data());
    previousSource = sy;
  }
  return true;
}
