#pragma once

// What a request to the decoding worker comes to, as the viewer receives it.

#include "platform/free_bitmap.h"

#include <FreeImage.h>

namespace decoder {

enum class TLoadOutcome {
  Decoded,        // dib holds the image
  Failed,         // a readable format that did not decode (or the worker failed)
  UnknownFormat,  // no readable format: the caller keeps its previous picture
};

// Why a load brought no picture, for the viewer to say so.
enum class TLoadProblem {
  None,         // decoded
  Missing,      // the file does not exist
  Unreadable,   // the file exists but may not be read
  NotAPicture,  // no readable format
  Damaged,      // a readable format that did not decode
  GaveUp,       // the worker crashed, ran out of memory or time, or could not run
  Cancelled,    // ended by Cancel
};

struct TLoadResult {
  TLoadOutcome outcome = TLoadOutcome::Failed;
  TLoadProblem problem = TLoadProblem::GaveUp;
  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  TFreeBitmap bitmap;      // the picture, its rows mapped copy-on-write from the kept decode
  bool cancelled = false;  // ended by Cancel or the time limit
  unsigned frames = 0;     // an animated GIF or WebP: its frame count; 0 for a still
};

// The answer to a frame request of an animation.
struct TFrameAnswer {
  unsigned index = 0;
  TLoadResult frame;  // decoded: 32-bit BGRA of the animation's logical screen
  unsigned delayMs = 0;
  unsigned frameCount = 0;
  unsigned plays = 0;  // 0: for ever
};

// The worker's decode of a file the viewer has just written.
struct TCheckResult {
  bool decoded = false;                           // decode holds the picture
  FREE_IMAGE_FORMAT contentFormat = FIF_UNKNOWN;  // what the content says the file is
  unsigned pages = 0;
  unsigned width = 0, height = 0;  // the full size (a large JPEG is decoded reduced)
  bool warned = false;             // the decoder met damaged data
  TLoadResult decode;
};

}  // namespace decoder
