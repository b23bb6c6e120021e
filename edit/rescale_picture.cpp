#include "edit/rescale_picture.h"

#include "edit/icc_profile.h"

namespace {

bool Replace(FIBITMAP*& dib, FIBITMAP* result) {
  if (!result) return false;
  FreeImage_Unload(dib);
  dib = result;
  return true;
}

}  // namespace

FREE_IMAGE_FILTER ResizeFilterOf(std::int32_t setting) {
  return setting >= FILTER_BOX && setting <= FILTER_LANCZOS3 ? FREE_IMAGE_FILTER(setting) : FILTER_BOX;
}

bool RescalePicture(FIBITMAP*& dib, int width, int height, std::int32_t filterSetting) {
  if (!dib) return false;
  if (FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) < 8 &&
      !Replace(dib, FreeImage_ConvertToGreyscale(dib)))
    return false;
  if (width <= 0 || height <= 0) return false;
  return Replace(dib, KeepIccProfile(dib, FreeImage_Rescale(dib, width, height, ResizeFilterOf(filterSetting))));
}
