#pragma once

// The viewer's bookkeeping of its requests to the decoding worker, apart
// from the worker itself (which the channel stands for): which request is
// under way, what a reply completes, what a worker that died fails, and the
// decodes kept of the current file and of those decoded ahead of the user.
// TDecoderClient (decoder_client.h) is this over the real worker process.

#include "decoder/decode_cache.h"
#include "decoder/decode_protocol.h"
#include "decoder/load_result.h"
#include "decoder/worker_channel.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace decoder {

class TDecodeRequests {
public:
  // keptPictures, keptBytes: the bounds of the kept decodes.
  TDecodeRequests(TWorkerChannel& channel, std::size_t keptPictures, std::uint64_t keptBytes);
  TDecodeRequests(const TDecodeRequests&) = delete;
  TDecodeRequests& operator=(const TDecodeRequests&) = delete;

  // Starts loading path with FreeImage load flags. A kept decode of the same
  // version of the file answers at once; a decode ahead of the same file
  // under way becomes the load; any other decode ahead is abandoned.
  // previewSize not 0: a large JPEG is first decoded reduced to about that
  // size, for TakePreview.
  void StartLoad(const std::string& path, int flags, unsigned previewSize = 0);
  bool LoadPending() const { return FLoad.has_value() && !FLoad->result; }
  // Waits up to timeoutMs (negative: until the answer or the time limit) for
  // the load's answer. True when it is there. stopAtPreview: returns (false)
  // as soon as a preview of the load is there too.
  bool WaitLoad(int timeoutMs, bool stopAtPreview = false);
  // The reduced decode of the pending load, once, and the size the full
  // decode will have. False when there is none (yet).
  bool TakePreview(TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight);
  // Reads the answers that have arrived, without blocking, and enforces the
  // time limit. For the event loop.
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
  bool FrameUnderWay() const { return FBusy && FBusy->kind == TRequestKind::DecodeFrame; }
  std::optional<TFrameAnswer> TakeFrame();

  // The check of a file just written as format: StartCheck hands it to the
  // worker and returns at once, so that the viewer can work meanwhile;
  // FinishCheck waits for the answer. Nothing of it is kept.
  // movedBlocks: a JPEG made by moving the blocks of one that decoded (see
  // CheckMovedBlocks).
  void StartCheck(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks = false);
  TCheckResult FinishCheck();

  // Decodes paths ahead of the user, in their order, one after the other
  // while the worker is idle and no load is pending, each unless a decode of
  // its version of the file is kept. Kept decodes other than the current one
  // and those of paths are dropped first: stepping keeps the picture on
  // display and the next ones. A later call replaces the list, and so does a
  // load, but for a load of a listed file: the files listed after it stay
  // ahead, and are sent once the load is answered. The next path is sent
  // when the answer of the one before is read (Pump).
  void DecodeAhead(std::vector<std::string> paths, int flags, unsigned previewSize = 0);
  // A decode ahead is under way: Pump, once it is done, sends the next.
  bool AheadUnderWay() const { return FBusy && FBusy->kind == TRequestKind::Decode && !FBusy->forLoad; }

  // Our own write to path: every kept decode of it is dropped, and a decode
  // of it under way is not kept.
  void Forget(const std::string& path);

  // The longest a decode may take before it counts as failed.
  void SetTimeLimit(std::chrono::milliseconds limit) { FTimeLimit = limit; }
  std::chrono::milliseconds TimeLimit() const { return FTimeLimit; }

  // The worker is working on a request (a load's or one ahead).
  bool Busy() const { return FBusy.has_value(); }
  // The file of the request under way; empty when there is none.
  std::string PathUnderWay() const { return FBusy ? FBusy->path : std::string(); }
  // Requests sent to a worker so far (a load answered from a kept decode sends none).
  std::uint64_t DecodesSent() const { return FSent; }
  const TDecodeCache& Kept() const { return FKept; }

private:
  struct TRequest {
    std::uint64_t id = 0;
    TRequestKind kind = TRequestKind::Decode;
    std::string path;
    int flags = 0;
    bool forLoad = false;
    bool keep = true;
    unsigned previewSize = 0;
    std::chrono::steady_clock::time_point started;
    std::chrono::milliseconds limit{0};  // the time it may take
    unsigned page = 0;                   // DecodePage, DecodeFrame
  };
  struct TPendingLoad {
    std::string path;
    int flags = 0;
    TFileStamp stamp;
    bool stampValid = false;
    int retries = 0;
    std::optional<TLoadResult> result;
    std::chrono::steady_clock::time_point started;
  };
  // A request's answer that goes to its asker, not to the kept decodes.
  struct TAnswer {
    TReplyHeader reply;
    TKeptDecode decode;
  };

  bool Send(TRequestKind kind, const std::string& path, int flags, bool forLoad, unsigned previewSize = 0,
            unsigned page = 0, FREE_IMAGE_FORMAT format = FIF_UNKNOWN);
  // Waits for the answer of the request under way that is not a decode.
  std::optional<TAnswer> WaitAnswer();
  // Reads one message, waiting up to timeoutMs; false when none came.
  bool ReadReply(int timeoutMs);
  void HandleReply(const TReplyHeader& reply, TFileDescriptor memory);
  void HandleDecode(const TRequest& request, const TReplyHeader& reply, TFileDescriptor memory);
  // killedByUs: we ended it; timeLimit: because the request overran its time.
  void WorkerDied(bool killedByUs, bool timeLimit = false);
  void KillWorker(bool timeLimit = false);
  void CheckTimeLimit();
  void FinishLoad(TLoadResult result);
  // Sends the first path of the list ahead that is not kept, when the worker is idle.
  void SendNextAhead();
  void ClearPreview();

  TWorkerChannel& FChannel;
  std::uint64_t FNextId = 1;
  std::uint64_t FSent = 0;
  std::optional<TRequest> FBusy;  // the request the worker is working on
  std::optional<TPendingLoad> FLoad;
  std::optional<TAnswer> FAnswer;
  std::optional<TFrameAnswer> FFrame;  // the answer of the last frame request, until taken
  // The preview of the request under way, and whether it was taken.
  std::optional<TKeptDecode> FPreview;
  unsigned FPreviewWidth = 0;
  unsigned FPreviewHeight = 0;
  bool FPreviewFresh = false;
  TDecodeCache FKept;
  // The files to decode ahead, in their order, with their flags: all of
  // the list, and those not sent yet.
  std::vector<std::string> FAheadListed;
  std::vector<std::string> FAhead;
  int FAheadFlags = 0;
  unsigned FAheadPreviewSize = 0;
  std::chrono::milliseconds FTimeLimit{10000};
};

}  // namespace decoder
