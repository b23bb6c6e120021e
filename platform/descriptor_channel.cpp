#include "platform/descriptor_channel.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace {

// Room for a few descriptors: a peer that sends more than the one expected
// has its extras closed here instead of cut off by the kernel unseen.
constexpr std::size_t MaxDescriptors = 4;

}  // namespace

std::pair<TDescriptorChannel, TDescriptorChannel> TDescriptorChannel::Pair() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return {};
  return {TDescriptorChannel(TFileDescriptor(ends[0])), TDescriptorChannel(TFileDescriptor(ends[1]))};
}

bool TDescriptorChannel::Send(const void* data, std::size_t bytes, int fd) const {
  if (!Valid()) return false;
  iovec iov{const_cast<void*>(data), bytes};
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
    const ssize_t sent = ::sendmsg(FSocket.Get(), &msg, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<std::size_t>(sent) == bytes;
    if (errno != EINTR) return false;
  }
}

TDescriptorChannel::TReceived TDescriptorChannel::Receive(void* buffer, std::size_t capacity, int timeoutMs) const {
  TReceived received;
  if (!Valid()) {
    received.status = TStatus::Closed;
    return received;
  }
  int flags = MSG_CMSG_CLOEXEC;
  if (timeoutMs >= 0) {
    pollfd pfd{FSocket.Get(), POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) return received;
    flags |= MSG_DONTWAIT;
  }
  iovec iov{buffer, capacity};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * MaxDescriptors)] = {};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  ssize_t got;
  do {
    got = ::recvmsg(FSocket.Get(), &msg, flags);
  } while (got < 0 && errno == EINTR && timeoutMs < 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return received;

  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
      if (!received.descriptor.Valid())
        received.descriptor = TFileDescriptor(fd);
      else
        TFileDescriptor{fd}.Reset();  // only the first one is wanted
    }
  }
  if (got <= 0) {
    received.descriptor.Reset();
    received.status = TStatus::Closed;
    return received;
  }
  received.status = TStatus::Message;
  received.bytes = static_cast<std::size_t>(got);
  received.truncated = (msg.msg_flags & MSG_TRUNC) != 0;
  return received;
}
