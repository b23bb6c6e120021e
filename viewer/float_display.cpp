#include "viewer/float_display.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// Channel values on a fine grid over 0..1, to 8 bits: a table, since every
// paint converts the whole picture again.
constexpr int Steps = 16384;

std::array<std::uint8_t, Steps + 1> MakeTable(bool srgbCurve) {
  std::array<std::uint8_t, Steps + 1> table{};
  for (int i = 0; i <= Steps; ++i) {
    double v = static_cast<double>(i) / Steps;
    if (srgbCurve) v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
    table[static_cast<size_t>(i)] = static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
  }
  return table;
}

const std::array<std::uint8_t, Steps + 1>& Table(bool srgbCurve) {
  static const auto linear = MakeTable(true);
  static const auto asIs = MakeTable(false);
  return srgbCurve ? linear : asIs;
}

// !(v > 0) also catches NaN.
inline std::uint8_t Level(float v, const std::array<std::uint8_t, Steps + 1>& table) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return table[Steps];
  return table[static_cast<size_t>(v * Steps + 0.5f)];
}

}  // namespace

FIBITMAP* FloatPictureForDisplay(FIBITMAP* picture, bool linearLight) {
  if (!picture || !FreeImage_HasPixels(picture)) return nullptr;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(picture);
  if (type != FIT_RGBF && type != FIT_RGBAF) return nullptr;
  const bool alpha = type == FIT_RGBAF;
  const unsigned width = FreeImage_GetWidth(picture);
  const unsigned height = FreeImage_GetHeight(picture);
  FIBITMAP* shown = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), alpha ? 32 : 24,
                                       FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
  if (!shown) return nullptr;
  const auto& colour = Table(linearLight);
  const auto& coverage = Table(false);  // alpha is never light
  for (unsigned y = 0; y < height; ++y) {
    BYTE* out = FreeImage_GetScanLine(shown, static_cast<int>(y));
    if (alpha) {
      const auto* in = reinterpret_cast<const FIRGBAF*>(FreeImage_GetScanLine(picture, static_cast<int>(y)));
      for (unsigned x = 0; x < width; ++x, out += 4) {
        out[FI_RGBA_RED] = Level(in[x].red, colour);
        out[FI_RGBA_GREEN] = Level(in[x].green, colour);
        out[FI_RGBA_BLUE] = Level(in[x].blue, colour);
        out[FI_RGBA_ALPHA] = Level(in[x].alpha, coverage);
      }
    } else {
      const auto* in = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(picture, static_cast<int>(y)));
      for (unsigned x = 0; x < width; ++x, out += 3) {
        out[FI_RGBA_RED] = Level(in[x].red, colour);
        out[FI_RGBA_GREEN] = Level(in[x].green, colour);
        out[FI_RGBA_BLUE] = Level(in[x].blue, colour);
      }
    }
  }
  return shown;
}
