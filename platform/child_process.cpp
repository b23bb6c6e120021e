#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The descriptor the child finds its socket on.
constexpr int ChildSocketFd = 3;

TChildEnding EndingOf(int status) {
  TChildEnding ending;
  if (WIFEXITED(status)) {
    ending.exited = true;
    ending.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    ending.signal = WTERMSIG(status);
  }
  return ending;
}

}  // namespace

bool TChildEnding::Killed() const { return signal == SIGKILL; }

bool TChildProcess::Start(const std::string& program, const std::vector<std::string>& args, TDescriptorChannel& ours) {
  ours.Close();
  auto [parent, child] = TDescriptorChannel::Pair();
  if (!parent.Valid()) return false;
  // The child's end becomes its descriptor 3; dup2 onto itself would keep it
  // close-on-exec, so it must not already be 3.
  TFileDescriptor childEnd = child.Release();
  if (childEnd.Get() == ChildSocketFd) childEnd = TFileDescriptor(::fcntl(childEnd.Get(), F_DUPFD_CLOEXEC, 10));
  if (!childEnd.Valid()) return false;

  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childEnd.Get(), ChildSocketFd);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  FPid = pid;
  FWatch = std::make_unique<TChildWatch>(pid);
  ours = std::move(parent);
  return true;
}

void TChildProcess::Kill() const {
  if (FPid > 0) ::kill(FPid, SIGKILL);
}

std::optional<TChildEnding> TChildProcess::WaitEnded(std::chrono::milliseconds timeout) const {
  if (!FWatch) return std::nullopt;
  const std::optional<int> status = FWatch->WaitEnded(timeout);
  if (!status) return std::nullopt;
  return EndingOf(*status);
}

bool TChildProcess::Ended() const { return !FWatch || FWatch->Ended(); }

void TChildProcess::Forget() {
  FPid = 0;
  FWatch.reset();
}
