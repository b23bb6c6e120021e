#pragma once

// The viewer's side of the decoding worker: starts the worker process (and
// starts it again when it dies), sends it the files to decode, waits for the
// answers, and keeps the decodes of the current file and of the files
// decoded ahead of the user.
//
// One load is under way at a time. StartLoad hands it over; a blocking
// WaitLoad, or Pump from the event loop, collects the answer; TakeLoad gives
// it as a FreeImage bitmap mapped copy-on-write from the kept decode, so
// edits in place never reach what is kept. A worker that crashes, runs out of
// its address space, overruns the time limit or is cancelled makes the load
// fail, like a file that cannot be decoded.
//
// The client wires the worker process (worker_process.h) to the bookkeeping
// of its requests (decode_requests.h), which does the work.

#include "decoder/decode_cache.h"
#include "decoder/decode_protocol.h"
#include "decoder/decode_requests.h"
#include "decoder/load_result.h"
#include "decoder/worker_process.h"

#include <cstdint>

namespace decoder {

// The worker process is a base ahead of the requests, so that it is made
// before them and ended after them.
struct TWorkerProcessHolder {
  TWorkerProcess FProcess;
};

class TDecoderClient : private TWorkerProcessHolder, public TDecodeRequests {
public:
  TDecoderClient();
  ~TDecoderClient();
  TDecoderClient(const TDecoderClient&) = delete;
  TDecoderClient& operator=(const TDecoderClient&) = delete;

  // The viewer's one client.
  static TDecoderClient& Shared();

  // Starts the worker unless it runs. Loads start it themselves.
  void Start() { FProcess.Start(); }
  // Ends the worker, if one runs, and waits for it: for a process that ends
  // without running destructors.
  void Stop() { FProcess.Stop(); }

  // The socket's descriptor, for the event loop to call Pump when it reads.
  int SocketFd() const { return FProcess.SocketFd(); }
  pid_t WorkerPid() const { return FProcess.Pid(); }
  // The address-space limit the worker runs under, from the machine's memory.
  static std::uint64_t WorkerAddressSpace() { return TWorkerProcess::AddressSpace(); }
};

}  // namespace decoder
