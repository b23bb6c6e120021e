#pragma once

// A helper process the viewer starts and talks to over a socket: started
// with its end of a fresh socket pair as descriptor 3, watched, reaped
// whenever it ends (see child_watch.h), and killed when it must go.

#include "platform/child_watch.h"
#include "platform/descriptor_channel.h"

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How a child ended.
struct TChildEnding {
  bool exited = false;  // by its own exit, with exitCode
  int exitCode = 0;
  int signal = 0;       // else the signal that ended it
  bool Killed() const;  // by SIGKILL: ours, the system's or the user's
  bool Crashed() const { return signal != 0 && !Killed(); }
};

class TChildProcess {
public:
  TChildProcess() = default;
  // A child still running is left to its watch, which reaps it when it ends.
  ~TChildProcess() = default;
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // Starts program with args (args[0] is its name) and our environment,
  // signals at their defaults and none blocked, with its end of a new
  // socket pair as descriptor 3 and no other descriptor of ours. ours
  // receives our end. False when it cannot be started (ours invalid then).
  bool Start(const std::string& program, const std::vector<std::string>& args, TDescriptorChannel& ours);

  bool Running() const { return FPid > 0; }
  pid_t Pid() const { return FPid; }
  void Kill() const;
  // Waits up to timeout for the child to end; how it ended once it has (and
  // its status could be read).
  std::optional<TChildEnding> WaitEnded(std::chrono::milliseconds timeout) const;
  bool Ended() const;
  // Lets the child go: its watch goes on reaping it, we no longer know it.
  void Forget();

private:
  pid_t FPid = 0;
  std::unique_ptr<TChildWatch> FWatch;
};
