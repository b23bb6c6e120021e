#pragma once

// Where two frames of an animation differ, so that showing the second over
// the first repaints only that part.

#include <FreeImage.h>

#include <optional>

// A rectangle of picture pixels, rows counted from the top: x0..x1, y0..y1,
// the ends excluded.
struct TPixelArea {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// The smallest rectangle holding every pixel of after that shows otherwise
// than the same pixel of before: empty when the two show the same. Null when
// they cannot be compared pixel by pixel (their size, type, depth, palette,
// transparency, background colour or colour profile differ), and then the
// whole picture has to be painted again.
std::optional<TPixelArea> ChangedArea(FIBITMAP* before, FIBITMAP* after);
