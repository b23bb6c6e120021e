#pragma once

// What the viewer's bookkeeping of decode requests (decode_requests.h) needs
// of a decoding worker: start one, hand it a request, read its replies, and
// drop it. worker_process.h is the real worker; tests put a fake in its
// place.

#include "decoder/decode_protocol.h"
#include "platform/file_descriptor.h"

#include <string>

namespace decoder {

struct TWorkerMessage {
  enum class TKind {
    Nothing,    // no message within the time given
    Reply,      // reply (and memory, when one came along)
    Malformed,  // a message that is no reply: ignored
    Gone,       // the worker closed its end: it has ended or is ending
  };
  TKind kind = TKind::Nothing;
  TReplyHeader reply;
  TFileDescriptor memory;
};

class TWorkerChannel {
public:
  virtual ~TWorkerChannel() = default;

  // Starts a worker unless one runs; false when none can run.
  virtual bool Start() = 0;
  // Sends one request about path with the file (file; -1 when it could not
  // be opened). False when the worker is not there to take it.
  virtual bool Send(const TRequestHeader& header, const std::string& path, int file) = 0;
  // Waits up to timeoutMs (0: not at all) for the next message.
  virtual TWorkerMessage Receive(int timeoutMs) = 0;
  // Drops the worker that runs (killed first when kill is set; killed
  // anyway when it does not end by itself at once). True when it crashed:
  // it was ended by a signal other than SIGKILL, which is the file's doing.
  virtual bool Drop(bool kill) = 0;
};

}  // namespace decoder
