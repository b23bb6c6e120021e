#pragma once

#include "viewer/animation_player.h"

#include <string>

namespace decoder {
class TDecoderClient;
}

// The frames of the animation on display, decoded by the worker.
class TWorkerFrameSource : public TFrameSource {
public:
  explicit TWorkerFrameSource(decoder::TDecoderClient& client) : FClient(client) {}
  // The file the frames come from, as the decoder takes its path.
  void SetFile(std::string path) { FPath = std::move(path); }
  bool Request(unsigned index) override;
  TAnswer Poll(TFreeBitmap& frame, unsigned& delayMs, unsigned& plays) override;
  void Cancel() override;

private:
  decoder::TDecoderClient& FClient;
  std::string FPath;
  bool FAsked = false;
  unsigned FIndex = 0;
};
