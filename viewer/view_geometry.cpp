#include "viewer/view_geometry.h"

#include <climits>
#include <cmath>

int RoundHalfEven(double value) {
  const double r = std::nearbyint(value);  // default rounding mode: ties to even
  if (!(r > INT_MIN)) return INT_MIN;      // also catches NaN
  if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(r);
}

bool PlaceImage(int CW, int CH, unsigned W, unsigned H, TViewState& view, TDrawRect& rect) {
  if (CW <= 0 || CH <= 0 || W == 0 || H == 0) return false;

  const double imageRatio = static_cast<double>(W) / H;
  const double windowRatio = static_cast<double>(CW) / CH;
  const bool small = W < static_cast<unsigned>(CW) && H < static_cast<unsigned>(CH);
  const bool fitMode = (view.bZoomToFit && small) || (view.bShrinkToFit && !small);
  const double zoom = view.fZoom;

  int width;
  int height;
  if (fitMode && imageRatio > windowRatio) {
    width = RoundHalfEven(CW * zoom);
    height = RoundHalfEven(width / imageRatio);
  } else if (fitMode) {
    height = RoundHalfEven(CH * zoom);
    width = RoundHalfEven(height * imageRatio);
  } else {
    width = RoundHalfEven(W * zoom);
    height = RoundHalfEven(H * zoom);
  }
  view.iDrawWidth = width;
  view.iDrawHeight = height;

  // 64-bit intermediates: a heavily zoomed image may exceed the int range.
  long long x = (static_cast<long long>(CW) - width) / 2;
  long long y = (static_cast<long long>(CH) - height) / 2;
  if (width < CW && height < CH) {
    view.iOffsetX = 0;
    view.iOffsetY = 0;
  }
  x += RoundHalfEven(view.iOffsetX * zoom);
  y += RoundHalfEven(view.iOffsetY * zoom);

  auto clampInt = [](long long v) { return static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v); };
  rect = TDrawRect{clampInt(x), clampInt(y), width, height};
  return true;
}

bool ZoomOutAllowed(int CW, int CH, unsigned W, unsigned H, const TViewState& view) {
  const float zoom = view.fZoom - ZoomStep;
  if (!(zoom > 0.0f) || !(view.fZoom > 0.0f)) return false;
  TViewState after = view;
  after.fZoom = zoom;
  TDrawRect rect;
  if (!PlaceImage(CW, CH, W, H, after, rect)) {
    const double factor = static_cast<double>(zoom) / view.fZoom;
    after.iDrawWidth = RoundHalfEven(view.iDrawWidth * factor);
    after.iDrawHeight = RoundHalfEven(view.iDrawHeight * factor);
  }
  return after.iDrawWidth >= ZoomOutGuard && after.iDrawHeight >= ZoomOutGuard;
}
