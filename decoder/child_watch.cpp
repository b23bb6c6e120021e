#include "decoder/child_watch.h"

#include <sys/wait.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace decoder {

struct TChildWatch::TShared {
  std::mutex lock;
  std::condition_variable changed;
  bool ended = false;
  bool statusKnown = false;
  int status = 0;
};

TChildWatch::TChildWatch(pid_t pid) : FShared(std::make_shared<TShared>()) {
  std::thread([pid, shared = FShared] {
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    std::lock_guard<std::mutex> hold(shared->lock);
    shared->ended = true;
    shared->statusKnown = r == pid;
    shared->status = status;
    shared->changed.notify_all();
  }).detach();
}

TChildWatch::~TChildWatch() = default;

std::optional<int> TChildWatch::WaitEnded(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(FShared->lock);
  FShared->changed.wait_for(hold, timeout, [this] { return FShared->ended; });
  if (!FShared->ended || !FShared->statusKnown) return std::nullopt;
  return FShared->status;
}

bool TChildWatch::Ended() const {
  std::lock_guard<std::mutex> hold(FShared->lock);
  return FShared->ended;
}

}  // namespace decoder
