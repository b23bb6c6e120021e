// velvane-decoder: the viewer's decoding worker. It reads requests from the
// socket on file descriptor 3, each with the file the viewer opened for it,
// decodes with FreeImage, and answers with the bitmap in a sealed memfd (an
// animation's frames in one memfd it writes again for each frame). It
// runs under an address-space limit given by the viewer and dies with it; a
// crash here costs the viewer one picture. It locks itself in before its
// first request (no file, socket or program of its own), so a decoder taken
// over by a hostile file can reach nothing but the worker's own memory.
#include "decoder/bitmap_pack.h"
#include "decoder/decode_protocol.h"
#include "decoder/extra_plugins.h"
#include "decoder/worker_decode.h"
#include "decoder/worker_memory.h"
#include "platform/descriptor_channel.h"
#include "platform/freeimage_setup.h"
#include "platform/own_process.h"
#include "platform/posix_io.h"
#include "platform/worker_lockdown.h"

#include <FreeImage.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using namespace decoder;

namespace {

constexpr int SocketFd = 3;

// The socket to the viewer, on SocketFd.
const TDescriptorChannel& Viewer() {
  static const TDescriptorChannel channel{TFileDescriptor(SocketFd)};
  return channel;
}

// Packs the decoded bitmap and releases it; a large one's rows go as they
// lie in the allocator's memory file. A frame of an animation goes in the
// frame file.
TFileDescriptor Pack(TFreeBitmap bitmap, TReplyHeader& reply, bool frame = false) {
  TSharedBlock block;
  const bool shared = bitmap && FindSharedBlock(FreeImage_GetBits(bitmap.Dib()), block);
  return frame ? PackFrame(std::move(bitmap), reply, shared ? &block : nullptr)
               : PackBitmap(std::move(bitmap), reply, shared ? &block : nullptr);
}

bool SendReply(const TReplyHeader& reply, const TFileDescriptor& memory) {
  return Viewer().Send(&reply, sizeof reply, memory.Get());
}

#ifdef VELVANE_WORKER_TEST_HOOKS
// The test build's worker: VELVANE_TEST_LOCKIN=off leaves it unlocked (for
// measuring what locking in costs), =fail makes it end as one that could not
// lock itself in, and a request for a file whose name ends in EscapeName
// makes it open a file, as a decoder taken over by a hostile picture would.
constexpr std::string_view EscapeName = "velvane-test-escape";
std::string TestLockIn() {
  const char* value = std::getenv("VELVANE_TEST_LOCKIN");
  return value ? value : "";
}
void EscapeWhenAsked(const std::string& path) {
  if (path.ends_with(EscapeName)) TFileDescriptor{OpenForReading("/etc/passwd")}.Reset();
}
#else
std::string TestLockIn() { return {}; }
#endif

void Serve() {
  std::vector<char> buffer(sizeof(TRequestHeader) + MaxPathBytes);
  for (;;) {
    TDescriptorChannel::TReceived received = Viewer().Receive(buffer.data(), buffer.size(), -1);
    if (received.status != TDescriptorChannel::TStatus::Message) return;  // the viewer is gone
    const std::size_t got = received.bytes;
    TRequestHeader request;
    if (got >= sizeof request) std::memcpy(&request, buffer.data(), sizeof request);
    if (received.truncated || got < sizeof request || request.magic != RequestMagic ||
        request.pathBytes != got - sizeof request)
      continue;
    const int file = received.descriptor.Release();  // DecodeFile takes it over
    const std::string path(buffer.data() + sizeof request, request.pathBytes);
#ifdef VELVANE_WORKER_TEST_HOOKS
    EscapeWhenAsked(path);
#endif

    bool previewSent = true;
    const TPreviewSink sendPreview = [&](TFreeBitmap preview, unsigned fullWidth, unsigned fullHeight) {
      TReplyHeader reply;
      reply.id = request.id;
      reply.status = TReplyStatus::Preview;
      reply.fif = FIF_JPEG;
      reply.fullWidth = fullWidth;
      reply.fullHeight = fullHeight;
      const TFileDescriptor memory = Pack(std::move(preview), reply);
      if (memory.Valid()) previewSent = SendReply(reply, memory);
    };
    const bool frame = request.kind == TRequestKind::DecodeFrame;
    if (!frame) ReleaseFrameFile();  // the animation is over
    TWorkerAsk ask;
    ask.kind = request.kind;
    ask.previewSize = request.previewSize;
    ask.page = request.page;
    ask.format = static_cast<FREE_IMAGE_FORMAT>(request.fif);
    TWorkerResult result = DecodeFile(file, path, request.flags, ask, sendPreview);
    if (!previewSent) return;
    TReplyHeader reply;
    reply.id = request.id;
    reply.status = result.status;
    reply.fif = result.fif;
    reply.stamp = result.stamp;
    reply.stampValid = result.stampValid ? 1 : 0;
    reply.stable = result.stable ? 1 : 0;
    reply.pages = result.pages;
    reply.warned = result.warned ? 1 : 0;
    reply.fullWidth = result.fullWidth;
    reply.fullHeight = result.fullHeight;
    reply.delayMs = result.delayMs;
    reply.plays = result.plays;
    TFileDescriptor memory;
    if (result.bitmap) {
      memory = Pack(std::move(result.bitmap), reply, frame);
      if (!memory.Valid()) reply.status = TReplyStatus::Failed;
    }
    if (!SendReply(reply, memory)) return;
  }
}

}  // namespace

// AddressSanitizer reserves terabytes of address space for its shadow memory
// before main, so no address-space limit can hold in a sanitizer build: there
// the worker runs without one (and ASan's own allocation limit stands in).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizerBuild = true;
// A fault the sanitizer finds ends the worker with a signal, as the crash it
// stands for would: the viewer tells crashes from other endings that way.
// The leak check at exit needs a tracing helper thread the locked-in worker
// may not start (and the worker ends by SIGKILL as a rule): it is off.
extern "C" const char* __asan_default_options() { return "abort_on_error=1:detect_leaks=0"; }
#else
constexpr bool AddressSanitizerBuild = false;
#endif

int main(int argc, char** argv) {
  DieWithParent();
  if (!DescriptorOpen(SocketFd)) return 2;  // not started by the viewer
  CloseDescriptorsFrom(SocketFd + 1);
  for (int i = 1; i < argc && !AddressSanitizerBuild; ++i)
    if (std::strncmp(argv[i], "--address-space=", 16) == 0) LimitAddressSpace(std::strtoull(argv[i] + 16, nullptr, 10));
  // A crash should end the worker quickly, without a core file.
  WriteNoCoreFiles();

  FreeImage_Initialise(FALSE);
  InstallImageLibraryMessageHandlers();
  RegisterExtraDecoders();

  // Locked in before the first request: from here on the worker has its
  // socket, its memory and the files the viewer hands it, nothing else.
  const bool debug = ImageLibraryDebugEnabled();
  const std::string testLockIn = TestLockIn();
  if (testLockIn == "fail") return WorkerNotLockedIn;
  if (testLockIn != "off") {
    const platform::TLockdownReport report = platform::LockDownWorker({.keep = {SocketFd}, .keepStandardError = debug});
    if (!report.Locked()) {
      if (debug) std::fprintf(stderr, "velvane-decoder: cannot lock itself in: %s\n", report.Describe().c_str());
      return WorkerNotLockedIn;
    }
    // The emptied environment took the debugging switch with it.
    if (debug) ::setenv("VELVANE_DEBUG", "1", 1);
  }
  Serve();
  FreeImage_DeInitialise();
  return 0;
}
