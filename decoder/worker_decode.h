#pragma once

// What the worker does with one request: identification by content, then by
// name, and the decode, with the file opened once so that the stamp it
// reports describes the bytes it read.

#include "decoder/decode_protocol.h"

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
  FIBITMAP* dib = nullptr;  // Decoded only; the caller unloads it
};

// Called with a reduced decode of a large JPEG before the full decode starts,
// and the size the full decode will have; takes the bitmap over.
using TPreviewSink = std::function<void(FIBITMAP* preview, unsigned fullWidth, unsigned fullHeight)>;

TWorkerResult DecodeFile(const std::string& path, int flags, TRequestKind kind, unsigned previewSize = 0,
                         const TPreviewSink& preview = {});

}  // namespace decoder
