#pragma once

#include "platform/free_bitmap.h"

// Chooses what the painter draws for the working image: the image itself, or
// a display copy stored in displayCopy (released first). Transparent bitmaps
// and bitmaps with a file background colour are composited over FreeImage's
// checkerboard; complex images show their magnitude; floating-point colour is
// shown at exposure 1 (see float_display.h) and 16-bit-per-channel colour at
// 8 bits, over the checkerboard where transparent; other non-standard types
// are converted to a standard bitmap. Returns the bitmap to draw, or null when
// a needed conversion was refused.
FIBITMAP* DisplayBitmap(const TFreeBitmap& working, TFreeBitmap& displayCopy);
