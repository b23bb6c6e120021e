#include "platform/child_watch.h"

#include <sys/wait.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

struct TChildWatch::TShared {
  pid_t pid = 0;
  bool threadless = false;  // no thread could be made: the waits poll instead
  std::mutex lock;
  std::condition_variable changed;
  bool ended = false;
  bool statusKnown = false;
  int status = 0;

  // Records how waitpid answered; true once the child has ended.
  bool Record(pid_t r, int s) {
    if (r == 0 || (r < 0 && errno == EINTR)) return false;
    ended = true;
    statusKnown = r == pid;
    status = s;
    changed.notify_all();
    return true;
  }
};

TChildWatch::TChildWatch(pid_t pid) : FShared(std::make_shared<TShared>()) {
  FShared->pid = pid;
  try {
    std::thread([shared = FShared] {
      int status = 0;
      pid_t r;
      do {
        r = ::waitpid(shared->pid, &status, 0);
      } while (r < 0 && errno == EINTR);
      std::lock_guard<std::mutex> hold(shared->lock);
      shared->Record(r, status);
    }).detach();
  } catch (const std::system_error&) {
    FShared->threadless = true;
  }
}

TChildWatch::~TChildWatch() = default;

std::optional<int> TChildWatch::WaitEnded(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(FShared->lock);
  if (FShared->threadless) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (!FShared->Record(::waitpid(FShared->pid, &status, WNOHANG), status) &&
           std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  FShared->changed.wait_for(hold, timeout, [this] { return FShared->ended; });
  if (!FShared->ended || !FShared->statusKnown) return std::nullopt;
  return FShared->status;
}

bool TChildWatch::Ended() const {
  std::lock_guard<std::mutex> hold(FShared->lock);
  int status = 0;
  if (FShared->threadless && !FShared->ended) FShared->Record(::waitpid(FShared->pid, &status, WNOHANG), status);
  return FShared->ended;
}
