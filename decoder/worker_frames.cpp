#include "decoder/worker_frames.h"

#include "decoder/animation_frames.h"

#include <memory>

namespace decoder {

namespace {

struct TCurrentAnimation {
  TFileStamp stamp;
  std::unique_ptr<TAnimationFrames> frames;  // null: the file is no animation
};

TCurrentAnimation& Current() {
  static TCurrentAnimation current;
  return current;
}

// The animation of the file with this stamp, opened unless it is the current one.
TAnimationFrames* Animation(int fd, const TFileStamp& stamp) {
  TCurrentAnimation& current = Current();
  if (current.frames && current.stamp == stamp) return current.frames.get();
  current.frames.reset();  // its memory first: the new one may need it
  TAnimationKind kind = TAnimationKind::Other;
  current.frames = OpenAnimation(fd, kind);
  current.stamp = stamp;
  return current.frames.get();
}

}  // namespace

unsigned OpenCurrentAnimation(int fd, const TFileStamp& stamp) {
  const TAnimationFrames* frames = Animation(fd, stamp);
  return frames ? frames->Facts().frameCount : 0;
}

void DecodeAnimationFrame(int fd, const TFileStamp& stamp, unsigned index, TWorkerResult& result) {
  TAnimationFrames* frames = Animation(fd, stamp);
  if (!frames) return;
  result.pages = frames->Facts().frameCount;
  result.plays = frames->Facts().plays;
  result.bitmap.Assign(frames->CompactFrame(index, result.delayMs));
}

}  // namespace decoder
