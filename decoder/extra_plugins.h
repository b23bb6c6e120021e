#pragma once

// The decoders of the newer formats (HEIF, AVIF, JPEG XL) as FreeImage
// plugins of the process that decodes, so that identification by content
// and by name, the worker's requests and its replies treat them as any
// other format: FreeImage reads them, cannot write them.

#include <FreeImage.h>

namespace decoder {

struct TExtraFormats {
  FREE_IMAGE_FORMAT heif = FIF_UNKNOWN;
  FREE_IMAGE_FORMAT avif = FIF_UNKNOWN;
  FREE_IMAGE_FORMAT jxl = FIF_UNKNOWN;
};

// Registers the plugins once (after FreeImage_Initialise) and returns their
// format codes; later calls return the same codes.
const TExtraFormats& RegisterExtraDecoders();

}  // namespace decoder
