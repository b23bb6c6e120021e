#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <functional>

// A 32-bit xRGB frame in memory, rows top-down (the layout of
// QImage::Format_RGB32).
struct TFrameBuffer {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int strideBytes = 0;
};

// Copies the whole of src into the rectangle (x, y, w, h) of frame with the
// nearest source pixel for every target pixel: enlarged images show hard
// blocks, reduced ones drop rows and columns. Only the part of the rectangle
// inside the frame is written. src must be a standard bitmap (FIT_BITMAP) of
// 1, 4, 8, 16, 24 or 32 bits per pixel; anything else draws nothing and
// returns false. Alpha is ignored (set opaque), unless keepFourthByte: then
// 32-bit pixels are copied as they are (a CMYK picture's K), for a colour
// conversion to make frame pixels of them.
bool StretchNearest(FIBITMAP* src, const TFrameBuffer& frame, int x, int y, int w, int h, bool keepFourthByte = false);

// The target pixels, first to last with last excluded, of a stretch of
// sourceSize pixels over extent pixels from origin whose nearest source
// pixels lie in sourceFirst..sourceLast (last excluded): all that a change of
// those source pixels alters. Empty (first == last) when none do.
struct TTargetSpan {
  long long first = 0, last = 0;
};
TTargetSpan TargetSpan(int sourceFirst, int sourceLast, int origin, int extent, unsigned sourceSize);

// Whether StretchNearest can draw src at all.
bool CanStretch(FIBITMAP* src);

// Receives the rows of a stretch instead of a frame: row y of the frame
// (counted from its top), whose visible columns x0 .. x0 + n hold pixels;
// pixels is null when the row repeats the source row of the row before it
// in the same call (an enlarged picture), which is therefore the same.
using TStretchRow = std::function<void(int y, int x0, int n, const std::uint32_t* pixels)>;
// StretchNearest into a row sink: the same pixels, handed over row by row
// from a buffer of its own. Only frame's size is used.
bool StretchNearestRows(FIBITMAP* src, const TFrameBuffer& frame, int x, int y, int w, int h, bool keepFourthByte,
                        const TStretchRow& row);
