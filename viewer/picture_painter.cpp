#include "viewer/picture_painter.h"

#include "edit/cmyk_picture.h"

#include "viewer/display_bitmap.h"
#include "viewer/screen_colour.h"
#include "viewer/stream_store.h"
#include "viewer/stretch.h"

#include <algorithm>

void FillFrameRect(QImage& frame, int x, int y, int w, int h, QRgb color) {
  const long long left = std::max(0, x);
  const long long top = std::max(0, y);
  const long long right = std::min<long long>(frame.width(), static_cast<long long>(x) + w);
  const long long bottom = std::min<long long>(frame.height(), static_cast<long long>(y) + h);
  if (left >= right || top >= bottom) return;
  uchar* bits = frame.bits();
  for (long long row = top; row < bottom; ++row) {
    auto* line = reinterpret_cast<QRgb*>(bits + row * frame.bytesPerLine());
    stream_store::Fill(line + left, static_cast<size_t>(right - left), color);
  }
  stream_store::Fence();
}

namespace {

void Paint(QImage& frame, const TFreeBitmap& working, unsigned width, unsigned height, TViewState& view,
           TFreeBitmap& displayCopy, TScreenColour* colour, bool bands) {
  const int CW = frame.width();
  const int CH = frame.height();
  displayCopy.Clear();
  if (CW <= 0 || CH <= 0) return;
  TDrawRect r;
  if (!working.IsValid() || !PlaceImage(CW, CH, width, height, view, r)) {
    frame.fill(BackgroundColor);
    return;
  }
  if (bands) {
    const long long right = static_cast<long long>(r.x) + r.width;
    const long long bottom = static_cast<long long>(r.y) + r.height;
    FillFrameRect(frame, 0, 0, r.x, CH, BackgroundColor);
    if (right < CW) FillFrameRect(frame, static_cast<int>(right), 0, CW - static_cast<int>(right), CH, BackgroundColor);
    FillFrameRect(frame, 0, 0, CW, r.y, BackgroundColor);
    if (bottom < CH)
      FillFrameRect(frame, 0, static_cast<int>(bottom), CW, CH - static_cast<int>(bottom), BackgroundColor);
  }

  bool bDrawn = false;
  const TFrameBuffer target{reinterpret_cast<std::uint32_t*>(frame.bits()), CW, CH,
                            static_cast<int>(frame.bytesPerLine())};
  const auto stretch = [&](FIBITMAP* shown, bool inks) {
    return StretchNearest(shown, target, r.x, r.y, r.width, r.height, inks);
  };
  // A picture whose colours take converting is drawn through the converter,
  // which keeps what it converted; a CMYK one without it goes through a
  // display copy in sRGB.
  if (colour && colour->Draw(target, r, working.Dib(), working.Version(),
                             [&](bool inks) { return inks ? working.Dib() : DisplayBitmap(working, displayCopy); })) {
    bDrawn = true;
  } else if (IsCmykPicture(working.Dib())) {
    displayCopy.Assign(CmykToSrgb(working.Dib()));
    bDrawn = displayCopy.IsValid() && stretch(displayCopy.Dib(), false);
  } else if (FIBITMAP* shown = DisplayBitmap(working, displayCopy)) {
    bDrawn = stretch(shown, false);
  }
  // The frame is reused from paint to paint (and new frames hold whatever was
  // in memory): an image that cannot be shown must not leave the previous
  // picture's pixels in its place.
  if (!bDrawn) FillFrameRect(frame, r.x, r.y, r.width, r.height, BackgroundColor);
}

}  // namespace

void PaintPicture(QImage& frame, const TFreeBitmap& working, TViewState& view, TFreeBitmap& displayCopy,
                  TScreenColour* colour) {
  Paint(frame, working, working.Width(), working.Height(), view, displayCopy, colour, true);
}

void PaintPictureAs(QImage& frame, const TFreeBitmap& standIn, unsigned width, unsigned height, TViewState& view,
                    TFreeBitmap& displayCopy, TScreenColour* colour) {
  Paint(frame, standIn, width, height, view, displayCopy, colour, true);
}

void PaintPictureInPlace(QImage& frame, const TFreeBitmap& working, TViewState& view, TFreeBitmap& displayCopy,
                         TScreenColour* colour) {
  Paint(frame, working, working.Width(), working.Height(), view, displayCopy, colour, false);
}
