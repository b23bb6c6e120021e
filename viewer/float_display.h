#pragma once

#include <FreeImage.h>

// Shows a floating-point RGB or RGBA picture (OpenEXR, Radiance HDR, PFM,
// float TIFF), which FreeImage's own conversions refuse: each channel at
// exposure 1, clamped to 0..1 (NaN as 0), and put through the sRGB curve when
// the values are linear light (EXR and HDR say so; PFM and TIFF values are
// taken as they are, as ImageMagick takes them). A new 24-bit bitmap for RGB,
// 32-bit with its alpha for RGBA; null for any other type.
FIBITMAP* FloatPictureForDisplay(FIBITMAP* picture, bool linearLight);
