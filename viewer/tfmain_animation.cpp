#include "viewer/image_loader.h"
#include "viewer/picture_painter.h"
#include "viewer/tfmain.h"
#include "viewer/view_geometry.h"
#include "viewer/worker_frame_source.h"

void Tfmain::StartAnimation() {
  StopAnimation();
  // A preview stands in for a picture still to come; the test decoders of
  // the document have no worker to play from.
  if (!FDocument.bLastLoadReadFile || FDocument.AnimationFrames < 2 || !FDecoder->Client()) return;
  FFrameSource->SetFile(DecoderPath(FState.sCurrentFile));
  FAnimation->Start(FDocument.AnimationFrames);
  ScheduleAnimationTick();
}

void Tfmain::StopAnimation() {
  FAnimationTimer.stop();
  if (!FAnimation->Active()) return;
  const bool wasShown = FAnimation->Shown() != nullptr;
  FAnimation->Stop();
  // What was painted in the frame's place was converted from it.
  if (wasShown) FDisplayCopy.Clear();
  FAnimationRect = QRect();
}

void Tfmain::ScheduleAnimationTick() {
  if (!FAnimation->Active() || !isVisible() || isMinimized()) {
    FAnimationTimer.stop();
    return;
  }
  const int ms = FAnimation->NextTickMs(FAnimationClock.elapsed());
  if (ms < 0)
    FAnimationTimer.stop();
  else
    FAnimationTimer.start(ms);
}

void Tfmain::AnimationTick() {
  // A slow load's wait runs the event loop: the animation of the picture it
  // replaces has stopped already.
  if (FDecodeWait || !isVisible() || isMinimized()) return;
  if (FDocument.bWorkingImageEdited) {
    StopAnimation();
    FormPaint();
    DecodeAhead();
    return;
  }
  if (FAnimation->Tick(FAnimationClock.elapsed())) PaintAnimationFrame();
  ScheduleAnimationTick();
  // The worker is free of the animation now.
  if (FAnimation->Ended()) DecodeAhead();
}

bool Tfmain::PicturePlace(const TFreeBitmap& picture, TDrawRect& place) const {
  TViewState view = FState.View;
  return !FFrame.isNull() &&
         PlaceImage(FFrame.width(), FFrame.height(), picture.Width(), picture.Height(), view, place);
}

QRect Tfmain::WindowRect(const TDrawRect& rect) const {
  const double ratio = FFrame.devicePixelRatio();
  return QRectF(rect.x / ratio, rect.y / ratio, rect.width / ratio, rect.height / ratio).toAlignedRect() & this->rect();
}

void Tfmain::PaintAnimationFrame() {
  const TFreeBitmap* frame = FAnimation->Shown();
  const bool current = !FFrame.isNull() && FFrame.size() == DeviceClientSize() &&
                       FFrame.devicePixelRatio() == devicePixelRatioF() && !FPreview.IsValid();
  TDrawRect r;
  QRect place;
  if (frame && current && PicturePlace(*frame, r)) place = WindowRect(r);
  // A frame in the place of the one before, with nothing drawn over it:
  // only the picture changes, and of it only what differs from the frame
  // before when the window still shows that one there. Else the first
  // frame, or one placed elsewhere, may leave another picture's pixels
  // around it: the whole window then.
  const bool inPlace = !place.isEmpty() && place == FAnimationRect && !AnyOverlay(OverlayInput());
  const std::optional<TPixelArea> change =
      inPlace && r == FFramePicturePlace ? FAnimation->ChangeFrom(FFramePicture) : std::nullopt;
  FAnimationRect = place;
  if (!inPlace) {
    RenderFrame();
    FFrameFresh = true;
    update();
    return;
  }
  FFramePicture = frame->Version();
  FFramePicturePlace = r;
  if (change) {
    const QRect part = PaintPictureChange(FFrame, *frame, *change, FState.View, FDisplayCopy, &FScreenColour);
    if (part.isEmpty()) return;  // the same picture: the window shows it already
    FFrameFresh = true;
    // A pixel more around it: at a fractional pixel ratio the window's
    // pixels of a rectangle may round inwards.
    update(WindowRect(TDrawRect{part.x(), part.y(), part.width(), part.height()}).adjusted(-1, -1, 1, 1) & rect());
    return;
  }
  PaintPictureInPlace(FFrame, *frame, FState.View, FDisplayCopy, &FScreenColour);
  FFrameFresh = true;
  update(place);
}

const TFreeBitmap& Tfmain::PaintedPicture() {
  // An edit of the working image (tone, grey-scale, resize) ends the play:
  // the changed first frame shows.
  if (FDocument.bWorkingImageEdited && FAnimation->Active()) StopAnimation();
  const TFreeBitmap* frame = FAnimation->Shown();
  return frame ? *frame : FBitmap;
}
