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
//   - a size that RescaleFitsInMemory refuses leaves dib as is;
// True when dib now has the new size.
bool RescalePicture(FIBITMAP*& dib, int width, int height, std::int32_t filterSetting);

// The bytes a rescale of dib to width x height holds at its peak besides
// dib: the new bitmap, FreeImage's intermediate pass and, for the depths it
// converts first, the converted copy, all at the depth of the new bitmap.
long double RescaleMemoryNeed(FIBITMAP* dib, std::int64_t width, std::int64_t height);

// Whether width and height are sizes FreeImage takes (1 to INT_MAX) and the
// rescale of dib to them needs at most half of memoryBytes, the machine's
// physical memory when 0. A typed size must never make the kernel kill the
// viewer for taking more memory than there is.
bool RescaleFitsInMemory(FIBITMAP* dib, std::int64_t width, std::int64_t height, std::uint64_t memoryBytes = 0);
