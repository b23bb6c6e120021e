#include "viewer/picture_painter.h"

#include "edit/cmyk_picture.h"

#include "viewer/display_bitmap.h"
#include "viewer/screen_colour.h"
#include "viewer/stream_store.h"
#include "viewer/stretch.h"

#include <algorithm>

namespace {

// Fills a rectangle of target, clipped to it.
void FillBufferRect(const TFrameBuffer& target, int x, int y, int w, int h, QRgb color) {
  const long long left = std::max(0, x);
  const long long top = std::max(0, y);
  const long long right = std::min<long long>(target.width, static_cast<long long>(x) + w);
  const long long bottom = std::min<long long>(target.height, static_cast<long long>(y) + h);
  if (left >= right || top >= bottom) return;
  auto* bits = reinterpret_cast<unsigned char*>(target.pixels);
  for (long long row = top; row < bottom; ++row) {
    auto* line = reinterpret_cast<QRgb*>(bits + row * target.strideBytes);
    stream_store::Fill(line + left, static_cast<size_t>(right - left), color);
  }
  stream_store::Fence();
}

TFrameBuffer WholeFrame(QImage& frame) {
  return TFrameBuffer{reinterpret_cast<std::uint32_t*>(frame.bits()), frame.width(), frame.height(),
                      static_cast<int>(frame.bytesPerLine())};
}

// Draws working over r of target; where it cannot be drawn, r is filled with
// the background.
void DrawPicture(const TFrameBuffer& target, const TDrawRect& r, const TFreeBitmap& working, TFreeBitmap& displayCopy,
                 TScreenColour* colour) {
  bool bDrawn = false;
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
  if (!bDrawn) FillBufferRect(target, r.x, r.y, r.width, r.height, BackgroundColor);
}

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

  DrawPicture(WholeFrame(frame), r, working, displayCopy, colour);
}

}  // namespace

void FillFrameRect(QImage& frame, int x, int y, int w, int h, QRgb color) {
  if (frame.isNull()) return;
  FillBufferRect(WholeFrame(frame), x, y, w, h, color);
}

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

QRect PaintPictureChange(QImage& frame, const TFreeBitmap& working, const TPixelArea& changed, TViewState& view,
                         TFreeBitmap& displayCopy, TScreenColour* colour) {
  displayCopy.Clear();
  TDrawRect r;
  if (frame.isNull() || !working.IsValid() || changed.Empty() ||
      !PlaceImage(frame.width(), frame.height(), working.Width(), working.Height(), view, r))
    return {};
  const TTargetSpan columns = TargetSpan(changed.x0, changed.x1, r.x, r.width, working.Width());
  const TTargetSpan rows = TargetSpan(changed.y0, changed.y1, r.y, r.height, working.Height());
  const auto within = [](long long v, int size) { return static_cast<int>(std::clamp<long long>(v, 0, size)); };
  const int x0 = within(columns.first, frame.width()), x1 = within(columns.last, frame.width());
  const int y0 = within(rows.first, frame.height()), y1 = within(rows.last, frame.height());
  if (x0 >= x1 || y0 >= y1) return {};
  const QRect part(x0, y0, x1 - x0, y1 - y0);
  // The part alone, as a frame of its own that the picture is placed in as
  // in the whole: the stretch reads the same source pixel for every target
  // pixel.
  const TFrameBuffer whole = WholeFrame(frame);
  const TFrameBuffer target{whole.pixels + static_cast<std::ptrdiff_t>(part.y()) * (whole.strideBytes / 4) + part.x(),
                            part.width(), part.height(), whole.strideBytes};
  DrawPicture(target, TDrawRect{r.x - part.x(), r.y - part.y(), r.width, r.height}, working, displayCopy, colour);
  return part;
}
