#pragma once

// Reaps one child process the moment it ends, whatever ends it: a crash, a
// kill from us or from outside, or its own exit after its socket closed. A
// thread of its own waits for it, so a child that takes long to go (killed
// in the middle of a large decode on a busy machine) or that ends while
// nobody asks is never left behind as a zombie. Where no thread can be made,
// the waits look for the child themselves, as far as they wait.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>

class TChildWatch {
public:
  explicit TChildWatch(pid_t pid);
  // The watching thread goes on, on its own, until the child has ended.
  ~TChildWatch();
  TChildWatch(const TChildWatch&) = delete;
  TChildWatch& operator=(const TChildWatch&) = delete;

  // Waits up to timeout for the child to end. Its wait status once it has
  // ended (nullopt: still running, or the status could not be read).
  std::optional<int> WaitEnded(std::chrono::milliseconds timeout);
  bool Ended() const;

private:
  struct TShared;
  std::shared_ptr<TShared> FShared;
};
