#include "edit/rescale_picture.h"

#include "edit/icc_profile.h"
#include "platform/free_bitmap.h"
#include "platform/system_memory.h"

#include <algorithm>
#include <limits>

namespace {

bool Replace(FIBITMAP*& dib, FIBITMAP* result) {
  if (!result) return false;
  const TFreeBitmap replaced(dib);
  dib = result;
  return true;
}

// The bytes per pixel of the rescaled bitmap, and whether dib is converted
// to that depth first (by RescalePicture or inside FreeImage_Rescale).
struct TRescaleDepth {
  unsigned bytes;
  bool converted;
};

TRescaleDepth RescaleDepth(FIBITMAP* dib) {
  const unsigned bpp = FreeImage_GetBPP(dib);
  if (FreeImage_GetImageType(dib) != FIT_BITMAP) return {std::max(1u, bpp / 8), false};
  if (bpp < 8) return {1, true};  // 8-bit grey
  if (bpp == 8) return FreeImage_GetColorType(dib) == FIC_MINISBLACK ? TRescaleDepth{1, false} : TRescaleDepth{4, true};
  if (bpp == 16) return {3, true};
  return {bpp / 8, false};
}

// What is assumed when the machine does not say how much memory it has.
constexpr std::uint64_t AssumedMemoryBytes = std::uint64_t(4) << 30;

}  // namespace

FREE_IMAGE_FILTER ResizeFilterOf(std::int32_t setting) {
  return setting >= FILTER_BOX && setting <= FILTER_LANCZOS3 ? FREE_IMAGE_FILTER(setting) : FILTER_BOX;
}

long double RescaleMemoryNeed(FIBITMAP* dib, std::int64_t width, std::int64_t height) {
  if (!dib) return 0;
  const TRescaleDepth depth = RescaleDepth(dib);
  const long double w = static_cast<long double>(width), h = static_cast<long double>(height);
  const long double srcW = FreeImage_GetWidth(dib), srcH = FreeImage_GetHeight(dib);
  // FreeImage scales one direction into an intermediate bitmap, then the
  // other; which goes first is its choice, so the larger one is counted.
  const long double intermediate = std::max(w * srcH, srcW * h);
  const long double copy = depth.converted ? srcW * srcH : 0;
  return depth.bytes * (w * h + intermediate + copy);
}

bool RescaleFitsInMemory(FIBITMAP* dib, std::int64_t width, std::int64_t height, std::uint64_t memoryBytes) {
  constexpr std::int64_t Largest = std::numeric_limits<int>::max();
  if (width <= 0 || height <= 0 || width > Largest || height > Largest) return false;
  if (memoryBytes == 0) memoryBytes = PhysicalMemoryBytes();
  if (memoryBytes == 0) memoryBytes = AssumedMemoryBytes;
  return RescaleMemoryNeed(dib, width, height) <= static_cast<long double>(memoryBytes) / 2;
}

bool RescalePicture(FIBITMAP*& dib, int width, int height, std::int32_t filterSetting) {
  if (!dib) return false;
  if (!RescaleFitsInMemory(dib, width, height)) return false;
  if (FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) < 8 &&
      !Replace(dib, FreeImage_ConvertToGreyscale(dib)))
    return false;
  return Replace(dib, KeepIccProfile(dib, FreeImage_Rescale(dib, width, height, ResizeFilterOf(filterSetting))));
}
