#include "decoder/worker_process.h"

#include "decoder/worker_path.h"
#include "platform/system_memory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace decoder {

std::uint64_t PhysicalMemory() {
  const std::uint64_t bytes = PhysicalMemoryBytes();
  return bytes ? bytes : 4ull << 30;
}

// A quarter of the machine's memory: room for any real photo (a 100-megapixel
// 16-bit RGBA decode is 800 MB), while a header claiming 65535 x 65535
// colour pixels (12 GB) fails its allocation instead of taking the
// machine's memory.
std::uint64_t TWorkerProcess::AddressSpace() { return std::max<std::uint64_t>(PhysicalMemory() / 4, 1ull << 30); }

TWorkerProcess::~TWorkerProcess() {
  if (!FChild.Running()) return;
  FChild.Kill();
  FChild.WaitEnded(std::chrono::seconds(2));
}

void TWorkerProcess::Stop() {
  if (FChild.Running()) {
    FChild.Kill();
    // SIGKILL ends it at once, unless the kernel holds it in a wait of its
    // own; the watch reaps it after this, should it come to that.
    FChild.WaitEnded(std::chrono::seconds(10));
    FChild.Forget();
  }
  FSocket.Close();
}

bool TWorkerProcess::Start() {
  if (FChild.Running()) return FSocket.Valid();
  const std::string worker = FindWorkerExecutable();
  if (worker.empty()) return false;
  return FChild.Start(worker, {worker, "--address-space=" + std::to_string(AddressSpace())}, FSocket);
}

bool TWorkerProcess::Send(const TRequestHeader& header, const std::string& path, int file) {
  std::vector<char> message(sizeof header + path.size());
  std::memcpy(message.data(), &header, sizeof header);
  std::memcpy(message.data() + sizeof header, path.data(), path.size());
  return FSocket.Send(message.data(), message.size(), file);
}

TWorkerMessage TWorkerProcess::Receive(int timeoutMs) {
  TWorkerMessage message;
  if (!FSocket.Valid()) return message;
  TDescriptorChannel::TReceived received = FSocket.Receive(&message.reply, sizeof message.reply, timeoutMs);
  switch (received.status) {
    case TDescriptorChannel::TStatus::Nothing: break;
    case TDescriptorChannel::TStatus::Closed: message.kind = TWorkerMessage::TKind::Gone; break;
    case TDescriptorChannel::TStatus::Message:
      if (received.bytes == sizeof message.reply && !received.truncated) {
        message.kind = TWorkerMessage::TKind::Reply;
        message.memory = std::move(received.descriptor);
      } else {
        message.kind = TWorkerMessage::TKind::Malformed;
      }
      break;
  }
  return message;
}

bool TWorkerProcess::Drop(bool kill) {
  std::optional<TChildEnding> ending;
  if (FChild.Running()) {
    if (kill) FChild.Kill();
    // It has closed its socket or was killed: it is gone or about to be.
    ending = FChild.WaitEnded(std::chrono::milliseconds(200));
    // Still there: its socket failed while it lives, or it is stuck. It is
    // dropped either way, so it must end; its watch reaps it whenever it
    // does, however long that takes.
    if (!FChild.Ended()) FChild.Kill();
  }
  FSocket.Close();
  FChild.Forget();
  static bool toldNotLockedIn = false;
  if (ending && ending->exited && ending->exitCode == WorkerNotLockedIn && !toldNotLockedIn) {
    toldNotLockedIn = true;
    std::fprintf(stderr,
                 "velvane: the decoder cannot lock itself in on this system and decodes nothing "
                 "(VELVANE_DEBUG=1 tells why)\n");
  }
  return ending && ending->Crashed();
}

}  // namespace decoder
