#pragma once

// What the worker does with one request: identification by content, then by
// name, and the decode, of a file opened by the viewer, so that the stamp it
// reports describes the bytes it read.

#include "decoder/decode_protocol.h"
#include "platform/free_bitmap.h"

#include <FreeImage.h>

#include <functional>
#include <string>

namespace decoder {

struct TWorkerResult {
  TReplyStatus status = TReplyStatus::Failed;
  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  TFileStamp stamp;
  bool stampValid = false;
  bool stable = false;
  TFreeBitmap bitmap;   // Decoded only
  unsigned pages = 0;   // Identify, Check, DecodePage; frames of an animation for Decode, DecodeFrame
  bool warned = false;  // Check
  unsigned fullWidth = 0, fullHeight = 0;  // Check
  unsigned delayMs = 0, plays = 0;         // DecodeFrame
};

// What a request asks beyond the file and the flags.
struct TWorkerAsk {
  TRequestKind kind = TRequestKind::Decode;
  unsigned previewSize = 0;
  unsigned page = 0;                       // DecodePage; the frame of DecodeFrame
  FREE_IMAGE_FORMAT format = FIF_UNKNOWN;  // Check
};

// Called with a reduced decode of a large JPEG before the full decode starts,
// and the size the full decode will have; takes the bitmap over.
using TPreviewSink = std::function<void(TFreeBitmap preview, unsigned fullWidth, unsigned fullHeight)>;

// Decodes the file open on fd, which it takes over and closes (-1: the file
// could not be opened, and only name tells its format). name is the file's
// path or name; nothing is opened by it.
TWorkerResult DecodeFile(int fd, const std::string& name, int flags, const TWorkerAsk& ask,
                         const TPreviewSink& preview = {});

}  // namespace decoder
