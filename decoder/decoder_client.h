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

#include <FreeImage.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace decoder {

class TDecoderClient {
public:
  TDecoderClient();
  ~TDecoderClient();
  TDecoderClient(const TDecoderClient&) = delete;
  TDecoderClient& operator=(const TDecoderClient&) = delete;

  // The viewer's one client.
  static TDecoderClient& Shared();

  // Starts the worker unless it runs. Loads start it themselves.
  void Start();
  // Ends the worker, if one runs, and waits for it: for a process that ends
  // without running destructors.
  void Stop();

  // Starts loading path with FreeImage load flags. A kept decode of the same
  // version of the file answers at once; a decode ahead of the same file
  // under way becomes the load; any other decode ahead is abandoned.
  // previewSize not 0: a large JPEG is first decoded reduced to about that
  // size, for TakePreview.
  void StartLoad(const std::string& path, int flags, unsigned previewSize = 0);
  bool LoadPending() const { return FRequests.LoadPending(); }
  // Waits up to timeoutMs (negative: until the answer or the time limit) for
  // the load's answer. True when it is there. stopAtPreview: returns (false)
  // as soon as a preview of the load is there too.
  bool WaitLoad(int timeoutMs, bool stopAtPreview = false);
  // The reduced decode of the pending load, once, and the size the full
  // decode will have. False when there is none (yet).
  bool TakePreview(TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight);
  // Reads the answers that have arrived, without blocking, and enforces the
  // time limit. For the event loop; the socket's descriptor is SocketFd().
  void Pump();
  // The answer of the load; a load without an answer yet is cancelled first.
  TLoadResult TakeLoad();
  // Ends the load under way (the worker is killed and started again).
  void CancelLoad();

  // The format path would be decoded with (identification only), or
  // FIF_UNKNOWN; pages, when given, receives the number of pages of a
  // multi-page file (1 for other formats, 0 when it cannot be told). Blocks.
  FREE_IMAGE_FORMAT Identify(const std::string& path, unsigned* pages = nullptr);

  // One page of a multi-page file at the file's depth, decoded afresh and not
  // kept; pages, when given, receives the file's number of pages. Blocks.
  TLoadResult DecodePage(const std::string& path, unsigned page, int flags, unsigned* pages = nullptr);

  // One composed frame of the animation at path, asked for without
  // blocking: StartFrame sends the request when the worker is idle (false
  // when it is not: ask again later), Pump reads its answer and TakeFrame
  // gives it once. Loads and the blocking requests take the worker over; a
  // frame request they end goes unanswered (FrameUnderWay turns false), one
  // that crashed the worker or overran its time is answered as failed.
  bool StartFrame(const std::string& path, unsigned index);
  bool FrameUnderWay() const { return FRequests.FrameUnderWay(); }
  std::optional<TFrameAnswer> TakeFrame();

  // The check of a file just written as format: StartCheck hands it to the
  // worker and returns at once, so that the viewer can work meanwhile;
  // FinishCheck waits for the answer. Nothing of it is kept.
  // movedBlocks: a JPEG made by moving the blocks of one that decoded (see
  // CheckMovedBlocks).
  void StartCheck(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks = false);
  TCheckResult FinishCheck();

  // Decodes path ahead of the user when the worker is idle and no decode of
  // this version of the file is kept. Kept decodes other than the current
  // one are dropped first: stepping keeps the picture on display and the
  // next one.
  void DecodeAhead(const std::string& path, int flags, unsigned previewSize = 0);

  // Our own write to path: every kept decode of it is dropped, and a decode
  // of it under way is not kept.
  void Forget(const std::string& path);

  // The longest a decode may take before it counts as failed.
  void SetTimeLimit(std::chrono::milliseconds limit) { FRequests.SetTimeLimit(limit); }
  std::chrono::milliseconds TimeLimit() const { return FRequests.TimeLimit(); }

  // The worker is working on a request (a load's or one ahead).
  bool Busy() const { return FRequests.Busy(); }
  int SocketFd() const { return FProcess.SocketFd(); }
  pid_t WorkerPid() const { return FProcess.Pid(); }
  // Requests sent to a worker so far (a load answered from a kept decode sends none).
  std::uint64_t DecodesSent() const { return FRequests.DecodesSent(); }
  const TDecodeCache& Kept() const { return FRequests.Kept(); }
  // The address-space limit the worker runs under, from the machine's memory.
  static std::uint64_t WorkerAddressSpace() { return TWorkerProcess::AddressSpace(); }

private:
  TWorkerProcess FProcess;
  TDecodeRequests FRequests;
};

}  // namespace decoder
