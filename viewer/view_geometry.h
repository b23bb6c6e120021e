#pragma once

#include "viewer/view_state.h"

// The image rectangle in client pixels.
struct TDrawRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Rounds to the nearest integer, an exact half to the even neighbour,
// saturating at the int range.
int RoundHalfEven(double value);

// Places an image of W x H pixels in a client area of CW x CH: fit, shrink
// and zoom, centring and the pan offsets. Updates iDrawWidth/iDrawHeight and
// resets the offsets of an image that lies wholly inside the client area.
// Returns false, changing nothing, for an empty client area or image.
bool PlaceImage(int CW, int CH, unsigned W, unsigned H, TViewState& view, TDrawRect& rect);
