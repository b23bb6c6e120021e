#pragma once

// Where and how large the working image is shown. Sizes, offsets and steps
// are in the frame's device pixels, so that at zoom 1.0 in original size one
// image pixel is one screen pixel at any device pixel ratio.
struct TViewState {
  float fZoom = 1.0f;        // on the fitted size in fit mode, else on the image size
  bool bZoomToFit = true;    // enlarge small images to the client area
  bool bShrinkToFit = true;  // shrink large images to the client area
  int iOffsetX = 0;          // pan offsets, multiplied by fZoom when painting
  int iOffsetY = 0;
  int iDrawWidth = 0;  // size of the image as last drawn
  int iDrawHeight = 0;
};

inline constexpr float ZoomStep = 0.2f;
inline constexpr int PanStepX = 20;
inline constexpr int PanStepY = 40;
// Zoom out is refused where it would draw the image smaller than this in
// either direction.
inline constexpr int ZoomOutGuard = 150;
