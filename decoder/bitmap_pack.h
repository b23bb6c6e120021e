#pragma once

// The worker's side of handing a decoded bitmap over: one sealed memory file
// holding the bitmap's description and its rows, as decode_protocol.h lays
// it out. received_decode.h is the viewer's side.

#include "decoder/decode_protocol.h"
#include "decoder/worker_memory.h"
#include "platform/file_descriptor.h"
#include "platform/free_bitmap.h"

namespace decoder {

// Packs bitmap and releases it, setting the reply's offsets and lengths.
// rowsBlock: the worker allocator's memory file the rows lie in, if they do
// (any large bitmap): that file is handed on as it is, with the description
// appended. Otherwise the rows are copied into a new memory file after the
// description. Invalid when it fails.
TFileDescriptor PackBitmap(TFreeBitmap bitmap, TReplyHeader& reply, const TSharedBlock* rowsBlock = nullptr);

// Packs a frame of an animation and releases it. One up to FrameCopyBytes
// goes into the worker's frame file, a memory file written again for each
// frame (its pages made once, not for every frame), which stays the
// worker's and is never sealed; a larger one as PackBitmap packs it.
TFileDescriptor PackFrame(TFreeBitmap bitmap, TReplyHeader& reply, const TSharedBlock* rowsBlock = nullptr);
// Gives the frame file's memory back, once no more frames are asked for.
void ReleaseFrameFile();

}  // namespace decoder
