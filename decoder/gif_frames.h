#pragma once

// Animated GIF: the file's block structure read by us (the frames' places,
// delays and disposal, the loop count), each frame's pixels decoded by
// FreeImage, and the frames composed onto the logical screen here.

#include "decoder/animation_frames.h"

namespace decoder {

// kind: Animation, Still or Refused.
std::unique_ptr<TAnimationFrames> OpenGifFrames(int fd, TAnimationKind& kind);

}  // namespace decoder
