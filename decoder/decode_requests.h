#pragma once

// The viewer's bookkeeping of its requests to the decoding worker, apart
// from the worker itself (which the channel stands for): which request is
// under way, what a reply completes, what a worker that died fails, and the
// decodes kept of the current file and of those decoded ahead of the user.
// TDecoderClient (decoder_client.h) describes each call; this class does
// the work behind them.

#include "decoder/decode_cache.h"
#include "decoder/decode_protocol.h"
#include "decoder/load_result.h"
#include "decoder/worker_channel.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace decoder {

class TDecodeRequests {
public:
  // keptPictures, keptBytes: the bounds of the kept decodes.
  TDecodeRequests(TWorkerChannel& channel, std::size_t keptPictures, std::uint64_t keptBytes);
  TDecodeRequests(const TDecodeRequests&) = delete;
  TDecodeRequests& operator=(const TDecodeRequests&) = delete;

  void StartLoad(const std::string& path, int flags, unsigned previewSize = 0);
  bool LoadPending() const { return FLoad.has_value() && !FLoad->result; }
  bool WaitLoad(int timeoutMs, bool stopAtPreview = false);
  bool TakePreview(TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight);
  void Pump();
  TLoadResult TakeLoad();
  void CancelLoad();

  FREE_IMAGE_FORMAT Identify(const std::string& path, unsigned* pages = nullptr);
  TLoadResult DecodePage(const std::string& path, unsigned page, int flags, unsigned* pages = nullptr);

  bool StartFrame(const std::string& path, unsigned index);
  bool FrameUnderWay() const { return FBusy && FBusy->kind == TRequestKind::DecodeFrame; }
  std::optional<TFrameAnswer> TakeFrame();

  void StartCheck(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks = false);
  TCheckResult FinishCheck();

  void DecodeAhead(const std::string& path, int flags, unsigned previewSize = 0);
  void Forget(const std::string& path);

  void SetTimeLimit(std::chrono::milliseconds limit) { FTimeLimit = limit; }
  std::chrono::milliseconds TimeLimit() const { return FTimeLimit; }

  bool Busy() const { return FBusy.has_value(); }
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
  std::chrono::milliseconds FTimeLimit{10000};
};

}  // namespace decoder
