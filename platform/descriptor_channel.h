#pragma once

// One end of a local SOCK_SEQPACKET socket: whole messages, each carrying at
// most one file descriptor along (SCM_RIGHTS). The viewer talks to its
// decoding worker over one of these, and the worker answers over the other
// end. Plain C++ and POSIX.

#include "platform/file_descriptor.h"

#include <cstddef>
#include <utility>

class TDescriptorChannel {
public:
  enum class TStatus {
    Nothing,  // no message within the time given
    Message,  // bytes and perhaps a descriptor arrived
    Closed,   // the other end is gone, or the socket failed
  };
  struct TReceived {
    TStatus status = TStatus::Nothing;
    std::size_t bytes = 0;       // received into the buffer
    bool truncated = false;      // the message was longer than the buffer: the rest is lost
    TFileDescriptor descriptor;  // the first descriptor that came along; any others are closed
  };

  TDescriptorChannel() = default;
  explicit TDescriptorChannel(TFileDescriptor socket) : FSocket(std::move(socket)) {}
  // A connected pair, both ends close-on-exec; invalid ends when it cannot be made.
  static std::pair<TDescriptorChannel, TDescriptorChannel> Pair();

  bool Valid() const { return FSocket.Valid(); }
  int Fd() const { return FSocket.Get(); }
  // Hands the socket over, for a child to inherit.
  TFileDescriptor Release() { return std::move(FSocket); }
  void Close() { FSocket.Reset(); }

  // Sends one message with fd (none when -1) passed along. False when it
  // did not go whole: the other end is gone or the socket failed.
  bool Send(const void* data, std::size_t bytes, int fd = -1) const;
  // Receives one message into buffer, waiting up to timeoutMs for it (0:
  // only one already there; negative: as long as it takes).
  TReceived Receive(void* buffer, std::size_t capacity, int timeoutMs) const;

private:
  TFileDescriptor FSocket;
};
