#pragma once

// The decoding worker as a process of its own (velvane-decoder): started
// under an address-space limit with its socket as descriptor 3, sent
// requests and read from over that socket, and dropped (killed and reaped)
// when it dies, hangs or must make way.

#include "decoder/worker_channel.h"
#include "platform/child_process.h"
#include "platform/descriptor_channel.h"

#include <cstdint>

namespace decoder {

class TWorkerProcess final : public TWorkerChannel {
public:
  TWorkerProcess() = default;
  // Kills a worker that runs and waits a moment for it to end.
  ~TWorkerProcess() override;

  bool Start() override;
  bool Send(const TRequestHeader& header, const std::string& path, int file) override;
  TWorkerMessage Receive(int timeoutMs) override;
  bool Drop(bool kill) override;
  // Kills the worker, if one runs, and waits for it to end.
  void Stop();

  // -1 when no worker runs.
  int SocketFd() const { return FSocket.Fd(); }
  // 0 when no worker runs.
  pid_t Pid() const { return FChild.Pid(); }

  // The address-space limit the worker runs under, from the machine's memory.
  static std::uint64_t AddressSpace();

private:
  TChildProcess FChild;
  TDescriptorChannel FSocket;
};

// The machine's memory, or 4 GB when the system does not tell.
std::uint64_t PhysicalMemory();

}  // namespace decoder
