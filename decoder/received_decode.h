#pragma once

// The viewer's side of a decoded bitmap the worker handed over (see
// bitmap_pack.h): the memory file checked and kept, and the bitmap rebuilt
// over a private mapping of it.

#include "decoder/decode_cache.h"
#include "decoder/decode_protocol.h"
#include "decoder/load_result.h"
#include "platform/file_descriptor.h"

namespace decoder {

// Takes the memory file of a Decoded or Preview reply into kept, with the
// bitmap's description read out of it. False when the file is not what the
// reply promised: not sealed, or too short for what it is said to hold.
bool ReadDecode(const TReplyHeader& reply, TFileDescriptor memory, TKeptDecode& kept);

// The load result a kept decode stands for. A decoded bitmap's rows are
// mapped copy-on-write, so the viewer's edits in place never reach the kept
// decode.
TLoadResult Materialize(const TKeptDecode& kept);

// The frame of a DecodeFrame reply: copied out of the worker's frame file at
// once (the worker writes that file again for the next frame) and rebuilt
// over the copy; a frame beyond FrameCopyBytes as ReadDecode and
// Materialize take it. Not decoded when the file does not hold what the
// reply promised.
TLoadResult ReceiveFrame(const TReplyHeader& reply, TFileDescriptor memory);
// Gives back the memory kept for the rows of frames to come, once no more
// frames are asked for.
void ReleaseFrameRows();

}  // namespace decoder
