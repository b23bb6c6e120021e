#include "viewer/worker_frame_source.h"

#include "decoder/decoder_client.h"

bool TWorkerFrameSource::Request(unsigned index) {
  FClient.Pump();  // an answer that has come frees the worker
  if (!FClient.StartFrame(FPath, index)) return false;
  FAsked = true;
  FIndex = index;
  return true;
}

TFrameSource::TAnswer TWorkerFrameSource::Poll(TFreeBitmap& frame, unsigned& delayMs, unsigned& plays) {
  if (!FAsked) return TAnswer::Lost;
  FClient.Pump();
  std::optional<decoder::TFrameAnswer> answer = FClient.TakeFrame();
  if (!answer) return FClient.FrameUnderWay() ? TAnswer::Waiting : TAnswer::Lost;
  FAsked = false;
  if (answer->index != FIndex) return TAnswer::Lost;  // an earlier request's, cancelled since
  if (answer->frame.outcome != decoder::TLoadOutcome::Decoded || !answer->frame.bitmap) return TAnswer::Failed;
  frame = std::move(answer->frame.bitmap);
  delayMs = answer->delayMs;
  plays = answer->plays;
  return TAnswer::Ready;
}

void TWorkerFrameSource::Cancel() {
  // An answer that has come is read, so that the worker is free for what
  // comes next rather than taken over.
  FClient.Pump();
  FAsked = false;
}
