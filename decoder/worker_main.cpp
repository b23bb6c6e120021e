// velvane-decoder: the viewer's decoding worker. It reads requests from the
// socket on file descriptor 3, each with the file the viewer opened for it,
// decodes with FreeImage, and answers with the bitmap in a sealed memfd. It
// runs under an address-space limit given by the viewer and dies with it; a
// crash here costs the viewer one picture. It locks itself in before its
// first request (no file, socket or program of its own), so a decoder taken
// over by a hostile file can reach nothing but the worker's own memory.
#include "decoder/bitmap_transfer.h"
#include "decoder/decode_protocol.h"
#include "decoder/extra_plugins.h"
#include "decoder/worker_decode.h"
#include "decoder/worker_memory.h"
#include "platform/freeimage_setup.h"
#include "platform/worker_lockdown.h"

#include <FreeImage.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using namespace decoder;

namespace {

constexpr int SocketFd = 3;

std::size_t PageAligned(std::size_t n) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (n + page - 1) / page * page;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t n, off_t offset) {
  while (n > 0) {
    const ssize_t done = ::pwrite(fd, data, n, offset);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    n -= static_cast<std::size_t>(done);
    offset += done;
  }
  return true;
}

// Seals fd, so the pixels the viewer keeps can never change under it. No
// writable shared mapping of it may remain.
bool Seal(int fd) { return ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0; }

// Packs the decoded bitmap and releases it. When its rows already lie in a
// memfd of the worker's allocator (any large bitmap), that memfd is handed
// on as it is, with the description appended; otherwise the rows are copied
// into a new memfd after the description. Returns the memfd, or -1.
int PackBitmap(TFreeBitmap bitmap, TReplyHeader& reply) {
  FIBITMAP* dib = bitmap.Dib();
  const std::vector<std::uint8_t> blob = DescribeBitmap(dib);
  const std::size_t rows = PixelBytes(dib);
  const std::uint8_t* bits = FreeImage_GetBits(dib);
  TSharedBlock block;
  int fd = -1;
  bool ok = false;
  if (rows > 0 && FindSharedBlock(bits, block) &&
      static_cast<std::size_t>(bits - static_cast<const std::uint8_t*>(block.start)) + rows <= block.size) {
    fd = ::fcntl(block.fd, F_DUPFD_CLOEXEC, 0);
    const std::size_t blobOffset = PageAligned(block.size);
    reply.pixelOffset = static_cast<std::uint64_t>(bits - static_cast<const std::uint8_t*>(block.start));
    reply.blobOffset = blobOffset;
    ok = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(blobOffset + blob.size())) == 0 &&
         WriteAll(fd, blob.data(), blob.size(), static_cast<off_t>(blobOffset));
    bitmap.Clear();  // unmaps the block; the memfd lives on in fd
  } else {
    const std::size_t offset = PageAligned(blob.size());
    fd = ::memfd_create("velvane-decode", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    ok =
        fd >= 0 && ::ftruncate(fd, static_cast<off_t>(offset + rows)) == 0 && WriteAll(fd, blob.data(), blob.size(), 0);
    if (ok && rows > 0) {
      void* map = ::mmap(nullptr, rows, PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(offset));
      ok = map != MAP_FAILED;
      if (ok) {
        std::memcpy(map, bits, rows);
        ::munmap(map, rows);
      }
    }
    bitmap.Clear();
    reply.blobOffset = 0;
    reply.pixelOffset = offset;
  }
  ok = ok && Seal(fd);
  if (!ok) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  reply.blobBytes = blob.size();
  reply.pixelBytes = rows;
  return fd;
}

bool SendReply(const TReplyHeader& reply, int fd) {
  iovec iov{const_cast<TReplyHeader*>(&reply), sizeof reply};
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
    const ssize_t sent = ::sendmsg(SocketFd, &msg, MSG_NOSIGNAL);
    if (sent >= 0) return true;
    if (errno != EINTR) return false;
  }
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
  if (!path.ends_with(EscapeName)) return;
  const int fd = ::open("/etc/passwd", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) ::close(fd);
}
#else
std::string TestLockIn() { return {}; }
#endif

// Receives one request into buffer and the file descriptor that came with it
// (-1 when none did; any further ones are closed). The byte count, or <= 0
// when the viewer is gone.
ssize_t ReceiveRequest(std::vector<char>& buffer, int& file) {
  file = -1;
  for (;;) {
    iovec iov{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(SocketFd, &msg, MSG_CMSG_CLOEXEC);
    if (got < 0 && errno == EINTR) continue;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
      const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (std::size_t i = 0; i < count; ++i) {
        int received = -1;
        std::memcpy(&received, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
        if (file < 0)
          file = received;
        else
          ::close(received);
      }
    }
    return got;
  }
}

void Serve() {
  std::vector<char> buffer(sizeof(TRequestHeader) + MaxPathBytes);
  for (;;) {
    int file = -1;
    const ssize_t got = ReceiveRequest(buffer, file);
    if (got <= 0) return;  // the viewer is gone
    TRequestHeader request;
    if (static_cast<std::size_t>(got) >= sizeof request) std::memcpy(&request, buffer.data(), sizeof request);
    if (static_cast<std::size_t>(got) < sizeof request || request.magic != RequestMagic ||
        request.pathBytes != static_cast<std::size_t>(got) - sizeof request) {
      if (file >= 0) ::close(file);
      continue;
    }
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
      const int fd = PackBitmap(std::move(preview), reply);
      if (fd >= 0) {
        previewSent = SendReply(reply, fd);
        ::close(fd);
      }
    };
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
    int fd = -1;
    if (result.bitmap) {
      fd = PackBitmap(std::move(result.bitmap), reply);
      if (fd < 0) reply.status = TReplyStatus::Failed;
    }
    const bool sent = SendReply(reply, fd);
    if (fd >= 0) ::close(fd);
    if (!sent) return;
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
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::fcntl(SocketFd, F_GETFD) < 0) return 2;  // not started by the viewer
  ::close_range(SocketFd + 1, ~0U, 0);
  for (int i = 1; i < argc && !AddressSanitizerBuild; ++i) {
    if (std::strncmp(argv[i], "--address-space=", 16) == 0) {
      const rlim_t limit = std::strtoull(argv[i] + 16, nullptr, 10);
      if (limit > 0) {
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_AS, &rl);
      }
    }
  }
  // A crash should end the worker quickly, without a core file.
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);

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
