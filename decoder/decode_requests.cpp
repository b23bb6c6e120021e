#include "decoder/decode_requests.h"

#include "decoder/file_stamp.h"
#include "decoder/received_decode.h"
#include "platform/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace decoder {

namespace {

using Clock = std::chrono::steady_clock;

// How much longer than a decode for the screen the check of a new file may take.
constexpr int CheckTimeFactor = 6;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// What the file itself tells of a load that brought no picture: missing or
// unreadable, or otherwise as the decode said.
TLoadProblem ProblemOfFile(const std::string& path, TLoadProblem otherwise) {
  const TFileStatus status = StatusOfPath(path);
  if (status.kind == TFileKind::Missing)
    return status.error == EACCES ? TLoadProblem::Unreadable : TLoadProblem::Missing;
  if (status.kind == TFileKind::Regular && AccessError(path) == EACCES) return TLoadProblem::Unreadable;
  return otherwise;
}

}  // namespace

TDecodeRequests::TDecodeRequests(TWorkerChannel& channel, std::size_t keptPictures, std::uint64_t keptBytes)
    : FChannel(channel), FKept(keptPictures, keptBytes) {}

void TDecodeRequests::ClearPreview() {
  FPreview.reset();
  FPreviewFresh = false;
}

bool TDecodeRequests::Send(TRequestKind kind, const std::string& path, int flags, bool forLoad, unsigned previewSize,
                           unsigned page, FREE_IMAGE_FORMAT format) {
  if (path.size() > MaxPathBytes) return false;
  if (kind != TRequestKind::DecodeFrame) ReleaseFrameRows();  // the animation is over
  TRequestHeader header;
  header.kind = kind;
  header.id = FNextId++;
  header.flags = flags;
  header.previewSize = previewSize;
  header.page = page;
  header.fif = format;
  header.pathBytes = static_cast<std::uint32_t>(path.size());

  // The worker opens nothing: the file goes with the request, and the
  // worker's copy of the descriptor is the only one once this one closes.
  const TFileDescriptor file(OpenRegularFile(path));
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!FChannel.Start()) return false;
    if (FChannel.Send(header, path, file.Get())) {
      FBusy = TRequest{header.id, kind, path, flags, forLoad, true, previewSize, Clock::now(), FTimeLimit, page};
      ClearPreview();
      ++FSent;
      return true;
    }
    WorkerDied(false);  // it went away while idle; a fresh one gets the request
  }
  return false;
}

bool TDecodeRequests::ReadReply(int timeoutMs) {
  TWorkerMessage message = FChannel.Receive(timeoutMs);
  switch (message.kind) {
    case TWorkerMessage::TKind::Nothing: return false;
    case TWorkerMessage::TKind::Gone: WorkerDied(false); return true;
    case TWorkerMessage::TKind::Malformed: return true;
    case TWorkerMessage::TKind::Reply:
      if (message.reply.magic == ReplyMagic) HandleReply(message.reply, std::move(message.memory));
      return true;
  }
  return false;
}

void TDecodeRequests::HandleReply(const TReplyHeader& reply, TFileDescriptor memory) {
  if (!FBusy || reply.id != FBusy->id) return;
  if (reply.status == TReplyStatus::Preview) {
    TKeptDecode preview;
    preview.status = TReplyStatus::Decoded;
    if (ReadDecode(reply, std::move(memory), preview)) {
      FPreview = std::move(preview);
      FPreviewWidth = reply.fullWidth;
      FPreviewHeight = reply.fullHeight;
      FPreviewFresh = true;
    }
    return;
  }
  const TRequest request = *FBusy;
  FBusy.reset();
  ClearPreview();
  if (request.kind == TRequestKind::DecodeFrame) {
    TFrameAnswer answer;
    answer.index = request.page;
    answer.delayMs = reply.delayMs;
    answer.frameCount = reply.pages;
    answer.plays = reply.plays;
    answer.frame = ReceiveFrame(reply, std::move(memory));
    FFrame = std::move(answer);
    return;
  }
  if (request.kind != TRequestKind::Decode) {
    TAnswer answer;
    answer.reply = reply;
    if (reply.status == TReplyStatus::Decoded && !ReadDecode(reply, std::move(memory), answer.decode))
      answer.reply.status = TReplyStatus::Failed;
    answer.decode.status = answer.reply.status;
    FAnswer = std::move(answer);
    return;
  }
  HandleDecode(request, reply, std::move(memory));
}

void TDecodeRequests::HandleDecode(const TRequest& request, const TReplyHeader& reply, TFileDescriptor memory) {
  TKeptDecode kept;
  kept.path = request.path;
  kept.flags = request.flags;
  kept.stamp = reply.stamp;
  kept.fif = reply.fif;
  kept.frames = reply.pages;
  kept.status = reply.status == TReplyStatus::Decoded || reply.status == TReplyStatus::UnknownFormat
                    ? reply.status
                    : TReplyStatus::Failed;
  if (kept.status == TReplyStatus::Decoded && !ReadDecode(reply, std::move(memory), kept))
    kept.status = TReplyStatus::Failed;
  const bool keepable = reply.stampValid && reply.stable && request.keep;

  if (request.forLoad && LoadPending()) {
    // The file changed between the start of the load and the decode (an
    // earlier decode ahead was taken over): decode it again.
    if (FLoad->stampValid && reply.stampValid && !(reply.stamp == FLoad->stamp) && FLoad->retries < 2) {
      ++FLoad->retries;
      if (!Send(TRequestKind::Decode, FLoad->path, FLoad->flags, true, request.previewSize)) FinishLoad(TLoadResult{});
      return;
    }
    TLoadResult result = Materialize(kept);
    if (keepable) FKept.Keep(std::move(kept), true);
    FinishLoad(std::move(result));
    SendNextAhead();
    return;
  }
  if (keepable) FKept.Keep(std::move(kept), false);
  SendNextAhead();
}

void TDecodeRequests::FinishLoad(TLoadResult result) {
  if (!FLoad || FLoad->result) return;
  if (result.problem == TLoadProblem::NotAPicture || result.problem == TLoadProblem::Damaged)
    result.problem = ProblemOfFile(FLoad->path, result.problem);
  FLoad->result = std::move(result);
}

void TDecodeRequests::WorkerDied(bool killedByUs, bool timeLimit) {
  // A crash is the file's doing; SIGKILL is ours, the system's or the
  // user's, and says nothing about the file. A worker its own filter ended
  // (SIGSYS) did what no decoder does: that too is the file's doing.
  const bool fileFault = FChannel.Drop(killedByUs) && !killedByUs;
  ClearPreview();
  if (FBusy) {
    const TRequest request = *FBusy;
    FBusy.reset();
    if (request.kind == TRequestKind::DecodeFrame) {
      // Taken over by another request: unanswered, to be asked again.
      if (!killedByUs || timeLimit) {
        FFrame.emplace();
        FFrame->index = request.page;
        FFrame->frame.problem = timeLimit ? TLoadProblem::GaveUp : TLoadProblem::Damaged;
      }
    } else if (request.kind != TRequestKind::Decode) {
      // A crash answers like a file that cannot be read.
      TAnswer failed;
      failed.reply.status = request.kind == TRequestKind::Identify ? TReplyStatus::UnknownFormat : TReplyStatus::Failed;
      FAnswer = std::move(failed);
    } else if (request.forLoad && LoadPending()) {
      if (fileFault && FLoad->stampValid && request.keep) {
        TKeptDecode failed;
        failed.path = FLoad->path;
        failed.flags = FLoad->flags;
        failed.stamp = FLoad->stamp;
        failed.status = TReplyStatus::Failed;
        failed.crashed = true;
        FKept.Keep(std::move(failed), true);
      }
      TLoadResult result;
      result.cancelled = killedByUs;
      result.problem = killedByUs && !timeLimit ? TLoadProblem::Cancelled : TLoadProblem::GaveUp;
      FinishLoad(std::move(result));
    }
  }
  FChannel.Start();
}

void TDecodeRequests::KillWorker(bool timeLimit) { WorkerDied(true, timeLimit); }

void TDecodeRequests::CheckTimeLimit() {
  if (FBusy && Clock::now() - FBusy->started > FBusy->limit) KillWorker(true);
}

void TDecodeRequests::StartLoad(const std::string& path, int flags, unsigned previewSize) {
  // The files ahead wait while the load is decided: one sent now could be
  // ended by it. A step onto a listed file leaves those listed after it
  // ahead: the worker goes on with them once the load is answered.
  std::vector<std::string> rest;
  if (const auto at = std::find(FAheadListed.begin(), FAheadListed.end(), path);
      at != FAheadListed.end() && flags == FAheadFlags)
    rest.assign(at + 1, FAheadListed.end());
  FAhead.clear();
  FAheadListed.clear();
  Pump();  // a decode ahead that has finished is kept before anything is decided
  FAhead = FAheadListed = std::move(rest);
  // A load still pending is replaced: what is under way for it is no more
  // than a decode ahead now, and its end must not end the new load.
  if (FBusy) FBusy->forLoad = false;
  FLoad.emplace();
  FLoad->path = path;
  FLoad->flags = flags;
  FLoad->started = Clock::now();
  FLoad->stampValid = StampOfPath(path, FLoad->stamp);
  if (FLoad->stampValid) {
    if (const TKeptDecode* kept = FKept.Find(path, flags, FLoad->stamp)) {
      FKept.MarkCurrent(path, flags);
      FinishLoad(Materialize(*kept));
      SendNextAhead();
      return;
    }
  }
  if (FBusy && FBusy->kind == TRequestKind::Decode && FBusy->path == path && FBusy->flags == flags) {
    FBusy->forLoad = true;
    return;
  }
  if (FBusy) KillWorker();
  if (!Send(TRequestKind::Decode, path, flags, true, previewSize)) FinishLoad(TLoadResult{});
}

bool TDecodeRequests::TakePreview(TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight) {
  if (!FPreviewFresh || !FPreview || !LoadPending() || !FBusy || !FBusy->forLoad) return false;
  FPreviewFresh = false;
  preview = Materialize(*FPreview);
  fullWidth = FPreviewWidth;
  fullHeight = FPreviewHeight;
  return preview.outcome == TLoadOutcome::Decoded;
}

bool TDecodeRequests::WaitLoad(int timeoutMs, bool stopAtPreview) {
  const Clock::time_point deadline =
      timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (LoadPending()) {
    if (timeoutMs >= 0 && Clock::now() >= deadline) return false;
    if (stopAtPreview && FPreviewFresh && FBusy && FBusy->forLoad) return false;
    int wait = FBusy ? MillisecondsLeft(FBusy->started + FBusy->limit) + 1 : 0;
    if (timeoutMs >= 0) wait = std::min(wait, MillisecondsLeft(deadline));
    if (!FBusy) {
      FinishLoad(TLoadResult{});  // nothing is working on it any more
      break;
    }
    ReadReply(wait);
    CheckTimeLimit();
  }
  return FLoad.has_value() && FLoad->result.has_value();
}

void TDecodeRequests::Pump() {
  while (ReadReply(0)) {
  }
  CheckTimeLimit();
}

TLoadResult TDecodeRequests::TakeLoad() {
  if (LoadPending()) CancelLoad();
  TLoadResult result;
  if (FLoad && FLoad->result) result = std::move(*FLoad->result);
  FLoad.reset();
  return result;
}

void TDecodeRequests::CancelLoad() {
  if (!LoadPending()) return;
  if (FBusy && FBusy->forLoad) KillWorker();
  TLoadResult cancelled;
  cancelled.cancelled = true;
  cancelled.problem = TLoadProblem::Cancelled;
  FinishLoad(std::move(cancelled));
}

std::optional<TDecodeRequests::TAnswer> TDecodeRequests::WaitAnswer() {
  while (!FAnswer && FBusy) {
    ReadReply(MillisecondsLeft(FBusy->started + FBusy->limit) + 1);
    CheckTimeLimit();
  }
  std::optional<TAnswer> answer = std::move(FAnswer);
  FAnswer.reset();
  return answer;
}

FREE_IMAGE_FORMAT TDecodeRequests::Identify(const std::string& path, unsigned* pages) {
  if (pages) *pages = 0;
  if (FBusy) KillWorker();
  FAnswer.reset();
  if (!Send(TRequestKind::Identify, path, 0, false)) return FIF_UNKNOWN;
  const std::optional<TAnswer> answer = WaitAnswer();
  if (!answer || answer->reply.status != TReplyStatus::Identified) return FIF_UNKNOWN;
  if (pages) *pages = answer->reply.pages;
  return static_cast<FREE_IMAGE_FORMAT>(answer->reply.fif);
}

TLoadResult TDecodeRequests::DecodePage(const std::string& path, unsigned page, int flags, unsigned* pages) {
  if (pages) *pages = 0;
  if (FBusy) KillWorker();
  FAnswer.reset();
  if (!Send(TRequestKind::DecodePage, path, flags, false, 0, page)) return {};
  const std::optional<TAnswer> answer = WaitAnswer();
  if (!answer) return {};
  if (pages) *pages = answer->reply.pages;
  return Materialize(answer->decode);
}

bool TDecodeRequests::StartFrame(const std::string& path, unsigned index) {
  if (FBusy || LoadPending()) return false;
  FFrame.reset();
  return Send(TRequestKind::DecodeFrame, path, 0, false, 0, index);
}

std::optional<TFrameAnswer> TDecodeRequests::TakeFrame() {
  std::optional<TFrameAnswer> answer = std::move(FFrame);
  FFrame.reset();
  return answer;
}

void TDecodeRequests::StartCheck(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks) {
  if (FBusy) KillWorker();
  FAnswer.reset();
  // Refusing a write because its check was slow would lose the edit: a
  // check may take longer than a decode for the screen.
  if (Send(TRequestKind::Check, path, movedBlocks ? CheckMovedBlocks : 0, false, 0, 0, format))
    FBusy->limit = CheckTimeFactor * FTimeLimit;
}

TCheckResult TDecodeRequests::FinishCheck() {
  TCheckResult result;
  const std::optional<TAnswer> answer = WaitAnswer();
  if (!answer) return result;
  result.contentFormat = static_cast<FREE_IMAGE_FORMAT>(answer->reply.fif);
  result.pages = answer->reply.pages;
  result.width = answer->reply.fullWidth;
  result.height = answer->reply.fullHeight;
  result.warned = answer->reply.warned != 0;
  result.decode = Materialize(answer->decode);
  result.decoded = result.decode.outcome == TLoadOutcome::Decoded;
  return result;
}

void TDecodeRequests::DecodeAhead(std::vector<std::string> paths, int flags, unsigned previewSize) {
  if (LoadPending()) return;
  FAhead = FAheadListed = std::move(paths);
  FAheadFlags = flags;
  FAheadPreviewSize = previewSize;
  // The decodes behind the user make room: what is kept while stepping is
  // the picture on display and those ahead of it.
  FKept.KeepOnly(FAhead);
  SendNextAhead();
}

void TDecodeRequests::SendNextAhead() {
  if (FBusy || LoadPending()) return;
  for (auto it = FAhead.begin(); it != FAhead.end(); it = FAhead.erase(it)) {
    TFileStamp stamp;
    if (!StampOfPath(*it, stamp) || FKept.Find(*it, FAheadFlags, stamp)) continue;
    const std::string path = *it;
    FAhead.erase(it);
    Send(TRequestKind::Decode, path, FAheadFlags, false, FAheadPreviewSize);
    return;
  }
}

void TDecodeRequests::Forget(const std::string& path) {
  FKept.Forget(path);
  if (FBusy && FBusy->path == path) FBusy->keep = false;
}

}  // namespace decoder
