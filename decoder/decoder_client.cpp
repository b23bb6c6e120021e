#include "decoder/decoder_client.h"

#include "decoder/bitmap_transfer.h"
#include "decoder/worker_path.h"
#include "platform/atomic_file.h"
#include "platform/posix_io.h"
#include "platform/system_memory.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

extern char** environ;

namespace decoder {

namespace {

using Clock = std::chrono::steady_clock;

// Kept decodes: the current picture and at most two beyond it, and never
// more than a quarter of the machine's memory.
constexpr std::size_t KeptPictures = 3;
// How much longer than a decode for the screen the check of a new file may take.
constexpr int CheckTimeFactor = 6;
// A description beyond this is not believed (metadata is kilobytes).
constexpr std::uint64_t MaxBlobBytes = 256ull << 20;

// The machine's memory, or 4 GB when the system does not tell.
std::uint64_t PhysicalMemory() {
  const std::uint64_t bytes = PhysicalMemoryBytes();
  return bytes ? bytes : 4ull << 30;
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// The memfd must be what the worker promised: sealed against shrinking and
// writing, and long enough for the description and the rows.
bool ValidPixelFile(int fd, const TReplyHeader& reply) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return false;
  const int seals = ::fcntl(fd, F_GET_SEALS);
  if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_WRITE)) != (F_SEAL_SHRINK | F_SEAL_WRITE)) return false;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  const auto within = [size](std::uint64_t offset, std::uint64_t bytes) {
    return offset <= size && bytes <= size - offset;
  };
  return reply.blobBytes <= MaxBlobBytes && reply.pixelBytes > 0 && within(reply.blobOffset, reply.blobBytes) &&
         within(reply.pixelOffset, reply.pixelBytes);
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

// Sends one request with the file it is about (fd, when not -1) passed along.
bool SendWithDescriptor(int socket, const std::vector<char>& message, int fd) {
  iovec iov{const_cast<char*>(message.data()), message.size()};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (fd >= 0) {
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = SOL_SOCKET;
    cmsg->cmsg_type = SCM_RIGHTS;
    cmsg->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(cmsg), &fd, sizeof fd);
  }
  for (;;) {
    const ssize_t sent = ::sendmsg(socket, &msg, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<std::size_t>(sent) == message.size();
    if (errno != EINTR) return false;
  }
}

}  // namespace

TDecoderClient::TDecoderClient() : FKept(KeptPictures, PhysicalMemory() / 4) {}

TDecoderClient::~TDecoderClient() {
  if (FPid > 0) {
    ::kill(FPid, SIGKILL);
    if (FWatch) FWatch->WaitEnded(std::chrono::seconds(2));
  }
  if (FSocket >= 0) ::close(FSocket);
}

void TDecoderClient::Stop() {
  if (FPid > 0) {
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FPid = 0;
  }
  if (FSocket >= 0) ::close(FSocket);
  FSocket = -1;
}

TDecoderClient& TDecoderClient::Shared() {
  static TDecoderClient client;
  // Every file the viewer writes goes through the atomic replacement, which
  // tells us: a kept decode of the old content must not come back.
  static const int listener = AddFileReplacedListener([](const std::string& path) { client.Forget(path); });
  (void)listener;
  return client;
}

// A quarter of the machine's memory: room for any real photo (a 100-megapixel
// 16-bit RGBA decode is 800 MB), while a header claiming 65535 x 65535
// colour pixels (12 GB) fails its allocation instead of taking the
// machine's memory.
std::uint64_t TDecoderClient::WorkerAddressSpace() { return std::max<std::uint64_t>(PhysicalMemory() / 4, 1ull << 30); }

void TDecoderClient::Start() {
  if (FPid > 0) return;
  const std::string worker = FindWorkerExecutable();
  if (worker.empty()) return;
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) return;
  // The worker's end becomes its descriptor 3; it must not already be 3.
  int child = sv[1];
  if (child == 3) {
    child = ::fcntl(sv[1], F_DUPFD_CLOEXEC, 10);
    ::close(sv[1]);
  }
  const std::string limit = "--address-space=" + std::to_string(WorkerAddressSpace());
  char* argv[] = {const_cast<char*>(worker.c_str()), const_cast<char*>(limit.c_str()), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, child, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, worker.c_str(), &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(child);
  if (rc != 0) {
    ::close(sv[0]);
    return;
  }
  FPid = pid;
  FWatch = std::make_unique<TChildWatch>(pid);
  FSocket = sv[0];
}

bool TDecoderClient::Send(TRequestKind kind, const std::string& path, int flags, bool forLoad, unsigned previewSize,
                          unsigned page, FREE_IMAGE_FORMAT format) {
  if (path.size() > MaxPathBytes) return false;
  TRequestHeader header;
  header.kind = kind;
  header.id = FNextId++;
  header.flags = flags;
  header.previewSize = previewSize;
  header.page = page;
  header.fif = format;
  header.pathBytes = static_cast<std::uint32_t>(path.size());
  std::vector<char> message(sizeof header + path.size());
  std::memcpy(message.data(), &header, sizeof header);
  std::memcpy(message.data() + sizeof header, path.data(), path.size());

  // The worker opens nothing: the file goes with the request, and the
  // worker's copy of the descriptor is the only one once this one closes.
  const TFileDescriptor file(OpenRegularFile(path));
  for (int attempt = 0; attempt < 2; ++attempt) {
    Start();
    if (FSocket < 0) return false;
    if (SendWithDescriptor(FSocket, message, file.Get())) {
      FBusy = TRequest{header.id, kind, path, flags, forLoad, true, previewSize, Clock::now(), FTimeLimit, page};
      FPreview.reset();
      FPreviewFresh = false;
      ++FSent;
      return true;
    }
    WorkerDied(false);  // it went away while idle; a fresh one gets the request
  }
  return false;
}

bool TDecoderClient::ReadReply(bool block, int timeoutMs) {
  if (FSocket < 0) return false;
  pollfd pfd{FSocket, POLLIN, 0};
  const int ready = ::poll(&pfd, 1, block ? timeoutMs : 0);
  if (ready <= 0) return false;

  TReplyHeader reply;
  iovec iov{&reply, sizeof reply};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  const ssize_t got = ::recvmsg(FSocket, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return false;

  TFileDescriptor fd;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int received = -1;
      std::memcpy(&received, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
      if (fd.Get() < 0)
        fd = TFileDescriptor(received);
      else
        ::close(received);
    }
  }
  if (got <= 0) {
    WorkerDied(false);
    return true;
  }
  if (static_cast<std::size_t>(got) == sizeof reply && reply.magic == ReplyMagic) HandleReply(reply, std::move(fd));
  return true;
}

bool TDecoderClient::ReadDecode(const TReplyHeader& reply, TFileDescriptor fd, TKeptDecode& kept) {
  if (!ValidPixelFile(fd.Get(), reply)) return false;
  kept.blob.resize(reply.blobBytes);
  if (!ReadAllAt(fd.Get(), kept.blob.data(), kept.blob.size(), static_cast<off_t>(reply.blobOffset))) {
    kept.blob.clear();
    return false;
  }
  kept.pixels = std::move(fd);
  kept.pixelOffset = reply.pixelOffset;
  kept.pixelBytes = reply.pixelBytes;
  return true;
}

void TDecoderClient::HandleReply(const TReplyHeader& reply, TFileDescriptor fd) {
  if (!FBusy || reply.id != FBusy->id) return;
  if (reply.status == TReplyStatus::Preview) {
    TKeptDecode preview;
    preview.status = TReplyStatus::Decoded;
    if (ReadDecode(reply, std::move(fd), preview)) {
      FPreview = std::move(preview);
      FPreviewWidth = reply.fullWidth;
      FPreviewHeight = reply.fullHeight;
      FPreviewFresh = true;
    }
    return;
  }
  const TRequest request = *FBusy;
  FBusy.reset();
  FPreview.reset();
  FPreviewFresh = false;
  if (request.kind == TRequestKind::DecodeFrame) {
    TKeptDecode decode;
    TFrameAnswer answer;
    answer.index = request.page;
    answer.delayMs = reply.delayMs;
    answer.frameCount = reply.pages;
    answer.plays = reply.plays;
    decode.status = reply.status;
    if (reply.status == TReplyStatus::Decoded && !ReadDecode(reply, std::move(fd), decode))
      decode.status = TReplyStatus::Failed;
    answer.frame = Materialize(decode);
    FFrame = std::move(answer);
    return;
  }
  if (request.kind != TRequestKind::Decode) {
    TAnswer answer;
    answer.reply = reply;
    if (reply.status == TReplyStatus::Decoded && !ReadDecode(reply, std::move(fd), answer.decode))
      answer.reply.status = TReplyStatus::Failed;
    answer.decode.status = answer.reply.status;
    FAnswer = std::move(answer);
    return;
  }

  TKeptDecode kept;
  kept.path = request.path;
  kept.flags = request.flags;
  kept.stamp = reply.stamp;
  kept.fif = reply.fif;
  kept.frames = reply.pages;
  kept.status = reply.status == TReplyStatus::Decoded || reply.status == TReplyStatus::UnknownFormat
                    ? reply.status
                    : TReplyStatus::Failed;
  if (kept.status == TReplyStatus::Decoded && !ReadDecode(reply, std::move(fd), kept))
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
    return;
  }
  if (keepable) FKept.Keep(std::move(kept), false);
}

TLoadResult TDecoderClient::Materialize(const TKeptDecode& kept) const {
  TLoadResult result;
  result.fif = static_cast<FREE_IMAGE_FORMAT>(kept.fif);
  result.frames = kept.frames;
  if (kept.status == TReplyStatus::UnknownFormat) {
    result.outcome = TLoadOutcome::UnknownFormat;
    result.problem = TLoadProblem::NotAPicture;
    result.fif = FIF_UNKNOWN;
    return result;
  }
  if (kept.status != TReplyStatus::Decoded) {
    result.problem = kept.crashed ? TLoadProblem::GaveUp : TLoadProblem::Damaged;
    return result;
  }
  if (kept.pixels.Get() < 0) return result;

  // The pages around the rows; private, so the viewer's edits in place copy
  // the pages they touch and never reach the kept decode.
  const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  const std::uint64_t first = kept.pixelOffset / page * page;
  const auto lead = static_cast<std::size_t>(kept.pixelOffset - first);
  const std::size_t length = lead + static_cast<std::size_t>(kept.pixelBytes);
  void* map =
      ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE, kept.pixels.Get(), static_cast<off_t>(first));
  if (map == MAP_FAILED) return result;
  std::shared_ptr<void> pixels(map, [length](void* p) { ::munmap(p, length); });
  FIBITMAP* dib = RebuildBitmap(kept.blob.data(), kept.blob.size(), static_cast<std::uint8_t*>(map) + lead,
                                static_cast<std::size_t>(kept.pixelBytes));
  if (!dib) return result;
  result.bitmap = TFreeBitmap(dib, std::move(pixels));
  result.outcome = TLoadOutcome::Decoded;
  result.problem = TLoadProblem::None;
  return result;
}

void TDecoderClient::FinishLoad(TLoadResult result) {
  if (!FLoad || FLoad->result) return;
  if (result.problem == TLoadProblem::NotAPicture || result.problem == TLoadProblem::Damaged)
    result.problem = ProblemOfFile(FLoad->path, result.problem);
  FLoad->result = std::move(result);
}

void TDecoderClient::WorkerDied(bool killedByUs, bool timeLimit) {
  std::optional<int> status;
  if (FPid > 0 && FWatch) {
    // It has closed its socket or was killed: it is gone or about to be.
    status = FWatch->WaitEnded(std::chrono::milliseconds(200));
    // Still there: its socket failed while it lives, or it is stuck. It is
    // dropped either way, so it must end; its watch reaps it whenever it
    // does, however long that takes.
    if (!FWatch->Ended()) ::kill(FPid, SIGKILL);
  }
  if (FSocket >= 0) ::close(FSocket);
  FSocket = -1;
  FPid = 0;
  FWatch.reset();
  // A crash is the file's doing; SIGKILL is ours, the system's or the
  // user's, and says nothing about the file.
  // A worker its own filter ended (SIGSYS) did what no decoder does: that
  // too is the file's doing.
  const bool fileFault = !killedByUs && status && WIFSIGNALED(*status) && WTERMSIG(*status) != SIGKILL;
  static bool toldNotLockedIn = false;
  if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == WorkerNotLockedIn && !toldNotLockedIn) {
    toldNotLockedIn = true;
    std::fprintf(stderr,
                 "velvane: the decoder cannot lock itself in on this system and decodes nothing "
                 "(VELVANE_DEBUG=1 tells why)\n");
  }

  FPreview.reset();
  FPreviewFresh = false;
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
  Start();
}

void TDecoderClient::KillWorker(bool timeLimit) {
  if (FPid > 0) ::kill(FPid, SIGKILL);
  WorkerDied(true, timeLimit);
}

void TDecoderClient::CheckTimeLimit() {
  if (FBusy && Clock::now() - FBusy->started > FBusy->limit) KillWorker(true);
}

void TDecoderClient::StartLoad(const std::string& path, int flags, unsigned previewSize) {
  Pump();  // a decode ahead that has finished is kept before anything is decided
  FLoad.emplace();
  FLoad->path = path;
  FLoad->flags = flags;
  FLoad->started = Clock::now();
  FLoad->stampValid = StampOfPath(path, FLoad->stamp);
  if (FLoad->stampValid) {
    if (const TKeptDecode* kept = FKept.Find(path, flags, FLoad->stamp)) {
      FKept.MarkCurrent(path, flags);
      FinishLoad(Materialize(*kept));
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

bool TDecoderClient::TakePreview(TLoadResult& preview, unsigned& fullWidth, unsigned& fullHeight) {
  if (!FPreviewFresh || !FPreview || !LoadPending() || !FBusy || !FBusy->forLoad) return false;
  FPreviewFresh = false;
  preview = Materialize(*FPreview);
  fullWidth = FPreviewWidth;
  fullHeight = FPreviewHeight;
  return preview.outcome == TLoadOutcome::Decoded;
}

bool TDecoderClient::WaitLoad(int timeoutMs, bool stopAtPreview) {
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
    ReadReply(true, wait);
    CheckTimeLimit();
  }
  return FLoad.has_value() && FLoad->result.has_value();
}

void TDecoderClient::Pump() {
  while (ReadReply(false, 0)) {
  }
  CheckTimeLimit();
}

TLoadResult TDecoderClient::TakeLoad() {
  if (LoadPending()) CancelLoad();
  TLoadResult result;
  if (FLoad && FLoad->result) result = std::move(*FLoad->result);
  FLoad.reset();
  return result;
}

void TDecoderClient::CancelLoad() {
  if (!LoadPending()) return;
  if (FBusy && FBusy->forLoad) KillWorker();
  TLoadResult cancelled;
  cancelled.cancelled = true;
  cancelled.problem = TLoadProblem::Cancelled;
  FinishLoad(std::move(cancelled));
}

std::optional<TDecoderClient::TAnswer> TDecoderClient::WaitAnswer() {
  while (!FAnswer && FBusy) {
    ReadReply(true, MillisecondsLeft(FBusy->started + FBusy->limit) + 1);
    CheckTimeLimit();
  }
  std::optional<TAnswer> answer = std::move(FAnswer);
  FAnswer.reset();
  return answer;
}

FREE_IMAGE_FORMAT TDecoderClient::Identify(const std::string& path, unsigned* pages) {
  if (pages) *pages = 0;
  if (FBusy) KillWorker();
  FAnswer.reset();
  if (!Send(TRequestKind::Identify, path, 0, false)) return FIF_UNKNOWN;
  const std::optional<TAnswer> answer = WaitAnswer();
  if (!answer || answer->reply.status != TReplyStatus::Identified) return FIF_UNKNOWN;
  if (pages) *pages = answer->reply.pages;
  return static_cast<FREE_IMAGE_FORMAT>(answer->reply.fif);
}

TLoadResult TDecoderClient::DecodePage(const std::string& path, unsigned page, int flags, unsigned* pages) {
  if (pages) *pages = 0;
  if (FBusy) KillWorker();
  FAnswer.reset();
  if (!Send(TRequestKind::DecodePage, path, flags, false, 0, page)) return {};
  const std::optional<TAnswer> answer = WaitAnswer();
  if (!answer) return {};
  if (pages) *pages = answer->reply.pages;
  return Materialize(answer->decode);
}

bool TDecoderClient::StartFrame(const std::string& path, unsigned index) {
  if (FBusy || LoadPending()) return false;
  FFrame.reset();
  return Send(TRequestKind::DecodeFrame, path, 0, false, 0, index);
}

std::optional<TFrameAnswer> TDecoderClient::TakeFrame() {
  std::optional<TFrameAnswer> answer = std::move(FFrame);
  FFrame.reset();
  return answer;
}

void TDecoderClient::StartCheck(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks) {
  if (FBusy) KillWorker();
  FAnswer.reset();
  // Refusing a write because its check was slow would lose the edit: a
  // check may take longer than a decode for the screen.
  if (Send(TRequestKind::Check, path, movedBlocks ? CheckMovedBlocks : 0, false, 0, 0, format))
    FBusy->limit = CheckTimeFactor * FTimeLimit;
}

TCheckResult TDecoderClient::FinishCheck() {
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

void TDecoderClient::DecodeAhead(const std::string& path, int flags, unsigned previewSize) {
  if (FBusy || LoadPending()) return;
  TFileStamp stamp;
  if (!StampOfPath(path, stamp) || FKept.Find(path, flags, stamp)) return;
  // The decodes behind the user make room: what is kept while stepping is
  // the picture on display and the one ahead of it.
  FKept.KeepOnlyCurrent();
  Send(TRequestKind::Decode, path, flags, false, previewSize);
}

void TDecoderClient::Forget(const std::string& path) {
  FKept.Forget(path);
  if (FBusy && FBusy->path == path) FBusy->keep = false;
}

}  // namespace decoder
