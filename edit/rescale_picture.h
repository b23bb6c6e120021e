#pragma once

#include <FreeImage.h>

#include <cstdint>

// The FreeImage filter for a stored Settings.ResizeFilter value: values
// outside FILTER_BOX (0) to FILTER_LANCZOS3 (5) mean FILTER_BOX.
FREE_IMAGE_FILTER ResizeFilterOf(std::int32_t setting);

// The rescale routine over the working image. dib is owned by the caller and
// replaced under the replace rule (a result replaces it only when FreeImage
// returned one; the old bitmap is then unloaded):
//   - nothing happens when dib is null;
//   - an image of fewer than 8 bits per pixel is first converted to 8-bit
//     grey; when that yields nothing, the rescale stops there;
//   - FreeImage_Rescale to exactly width x height with the filter of
//     ResizeFilterOf(filterSetting); null (a size of 0 ...) leaves dib as is.
// True when dib now has the new size.
bool RescalePicture(FIBITMAP*& dib, int width, int height, std::int32_t filterSetting);
