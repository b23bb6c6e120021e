#pragma once

// The frames of an animated GIF or WebP, each composed onto the logical
// screen as it is to be shown (the earlier frames' disposal and blending
// done), for the worker to hand to the viewer one at a time while it plays.
//
// A source composes frame N+1 from frame N, so playing in order costs one
// frame's decode per frame; asking for an earlier frame starts again from
// the first. It keeps a fixed number of full frames whatever the frame
// count, never the whole animation.
//
// A composed frame comes in the most compact form that holds it exactly: a
// GIF frame whose screen takes one palette (a frame that covers the screen,
// or frames that share the global palette) as 8 bits a pixel with that
// palette, a clear pixel marked by the transparency table; any other as
// 32-bit BGRA.

#include <FreeImage.h>

#include <memory>

namespace decoder {

struct TAnimationFacts {
  unsigned width = 0, height = 0;  // the logical screen every frame fills
  unsigned frameCount = 0;         // at least 2
  unsigned plays = 0;              // how many times the whole animation runs; 0: for ever
};

// What OpenAnimation found in the file.
enum class TAnimationKind {
  Animation,  // a GIF or WebP of more than one frame: the source plays it
  Still,      // a GIF or WebP of one frame: decoded as any other picture
  Other,      // neither GIF nor WebP
  Refused,    // damaged, or a logical screen beyond the picture limits
};

// A delay as shown: 10 ms and less (0 included) become 100 ms, as browsers
// show them, since such files were made for that pace.
unsigned ShownDelay(unsigned fileDelayMs);

class TAnimationFrames {
public:
  virtual ~TAnimationFrames() = default;
  const TAnimationFacts& Facts() const { return FFacts; }

  // Frame index composed: a fresh bitmap of the logical screen's size that
  // the caller unloads, in the compact form above, and its delay as shown.
  // Null when index is past the last frame or the frame cannot be decoded
  // (the next call starts again from the first frame).
  virtual FIBITMAP* CompactFrame(unsigned index, unsigned& delayMs) = 0;

  // The same frame as 32-bit BGRA, clear pixels of alpha 0.
  FIBITMAP* Frame(unsigned index, unsigned& delayMs);

protected:
  TAnimationFacts FFacts;
};

// The animation in the open file fd, read through a descriptor of its own
// (so the caller may close fd) from its start, never reopened by name. Null
// unless kind says Animation.
std::unique_ptr<TAnimationFrames> OpenAnimation(int fd, TAnimationKind& kind);

}  // namespace decoder
