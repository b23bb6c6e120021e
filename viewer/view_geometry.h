#pragma once

#include "viewer/view_state.h"

// The image rectangle in client pixels.
struct TDrawRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TDrawRect&) const = default;
};

// Rounds to the nearest integer, an exact half to the even neighbour,
// saturating at the int range.
int RoundHalfEven(double value);

// Places an image of W x H pixels in a client area of CW x CH: fit, shrink
// and zoom, centring and the pan offsets. Updates iDrawWidth/iDrawHeight and
// resets the offsets of an image that lies wholly inside the client area.
// Returns false, changing nothing, for an empty client area or image.
bool PlaceImage(int CW, int CH, unsigned W, unsigned H, TViewState& view, TDrawRect& rect);

// Whether a zoom-out step may be taken on an image of W x H in a client area
// of CW x CH: the zoom stays above 0 and the image, as the step would draw
// it, is still at least ZoomOutGuard pixels wide and high. Without an image
// or a client area to place it in, the last drawn size stands in for it.
bool ZoomOutAllowed(int CW, int CH, unsigned W, unsigned H, const TViewState& view);
