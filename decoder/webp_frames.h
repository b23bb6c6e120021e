#pragma once

// Animated WebP: libwebp's demuxer reads the file's frames and its
// animation decoder composes them (it keeps the screen and the one before).

#include "decoder/animation_frames.h"

namespace decoder {

// kind: Animation, Still or Refused.
std::unique_ptr<TAnimationFrames> OpenWebpFrames(int fd, TAnimationKind& kind);

}  // namespace decoder
