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

void Tfmain::PaintAnimationFrame() {
  const TFreeBitmap* frame = FAnimation->Shown();
  const bool current = !FFrame.isNull() && FFrame.size() == DeviceClientSize() &&
                       FFrame.devicePixelRatio() == devicePixelRatioF() && !FPreview.IsValid();
  TViewState view = FState.View;
  TDrawRect r;
  QRect place;
  if (frame && current && PlaceImage(FFrame.width(), FFrame.height(), frame->Width(), frame->Height(), view, r)) {
    const double ratio = FFrame.devicePixelRatio();
    place = QRectF(r.x / ratio, r.y / ratio, r.width / ratio, r.height / ratio).toAlignedRect() & rect();
  }
  // A frame in the place of the one before, with nothing drawn over it:
  // only the picture changes. Else the first frame, or one placed elsewhere,
  // may leave another picture's pixels around it: the whole window then.
  const bool inPlace = !place.isEmpty() && place == FAnimationRect && !AnyOverlay(OverlayInput());
  if (inPlace)
    PaintPictureInPlace(FFrame, PaintedPicture(), FState.View, FDisplayCopy, &FScreenColour);
  else
    RenderFrame();
  FFrameFresh = true;
  if (inPlace)
    update(place);
  else
    update();
  FAnimationRect = place;
}

const TFreeBitmap& Tfmain::PaintedPicture() {
  // An edit of the working image (tone, grey-scale, resize) ends the play:
  // the changed first frame shows.
  if (FDocument.bWorkingImageEdited && FAnimation->Active()) StopAnimation();
  const TFreeBitmap* frame = FAnimation->Shown();
  return frame ? *frame : FBitmap;
}
