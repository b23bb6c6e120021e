#pragma once

// The animation the worker plays for the viewer. It is opened when the file
// is decoded or first asked for a frame, and kept open between frame
// requests, so that the next frame costs one frame's decode; a request for
// another file, or for this file changed, replaces it.

#include "decoder/file_stamp.h"
#include "decoder/worker_decode.h"

namespace decoder {

// The frames of the animation in the open file fd (stamp: the file as it
// was found), which becomes the current one; 0 for a still picture or any
// other file.
unsigned OpenCurrentAnimation(int fd, const TFileStamp& stamp);

// Frame index of the animation in fd into result: its bitmap, delay, the
// frame count and plays. result.bitmap stays null when the file is no
// animation or the frame does not decode.
void DecodeAnimationFrame(int fd, const TFileStamp& stamp, unsigned index, TWorkerResult& result);

}  // namespace decoder
