// Runs lockdown_probe, which locks itself in as the decoding worker does,
// and checks from outside what it can and cannot do.
#include "platform/descriptor_channel.h"
#include "platform/file_descriptor.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
constexpr bool SanitizerBuild = true;
#else
constexpr bool SanitizerBuild = false;
#endif

// The probe's layer states, as TLockState numbers them.
constexpr int Held = 0;
constexpr int Unavailable = 1;

struct TProbe {
  pid_t pid = -1;
  TDescriptorChannel socket;
};

// Starts the probe with its socket on fd 3, fileFd (if any) on fd 4, a stray
// descriptor on fd 9 and a secret in its environment.
TProbe Start(const std::vector<std::string>& args, int fileFd = -1) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return {};
  TProbe probe;
  probe.socket = TDescriptorChannel(TFileDescriptor(pair[0]));
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Out of the way first: either source may sit on 3 or 4 already.
    const int socket = ::fcntl(pair[1], F_DUPFD, 100);
    const int file = fileFd >= 0 ? ::fcntl(fileFd, F_DUPFD, 100) : -1;
    ::dup2(socket, 3);
    if (file >= 0) ::dup2(file, 4);
    ::dup2(socket, 9);
    ::setenv("VELVANE_PROBE_SECRET", "hunter2", 1);
    std::vector<char*> argv{const_cast<char*>(LOCKDOWN_PROBE)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(LOCKDOWN_PROBE, argv.data());
    ::_exit(127);
  }
  ::close(pair[1]);
  probe.pid = pid;
  return probe;
}

// One message from the probe (and the descriptor it carries), or "" when
// none comes within ten seconds or the probe is gone.
std::string Receive(const TProbe& probe, TFileDescriptor* passed = nullptr) {
  char buffer[8192];
  TDescriptorChannel::TReceived received = probe.socket.Receive(buffer, sizeof buffer, 10000);
  if (received.status != TDescriptorChannel::TStatus::Message) return {};
  if (passed) *passed = std::move(received.descriptor);
  return std::string(buffer, received.bytes);
}

std::map<std::string, std::string> Fields(const std::string& text) {
  std::map<std::string, std::string> fields;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

std::string StatusLine(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key + ":", 0) == 0) {
      std::string value = line.substr(key.size() + 1);
      value.erase(0, value.find_first_not_of(" \t"));
      return value;
    }
  return {};
}

// Whether this machine lets an unprivileged process make a user namespace,
// tried in a throwaway child.
bool UserNamespacesAllowed() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(::unshare(CLONE_NEWUSER) == 0 ? 0 : 1);
  const int status = Wait(pid);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A fresh folder of this run's own, removed when it goes.
struct TScratchFolder {
  std::filesystem::path path;
  TScratchFolder() {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / "lockdown-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path = pattern;
  }
  ~TScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

bool LandlockPresent() { return ::syscall(SYS_landlock_create_ruleset, nullptr, 0, 1U) >= 1; }

TEST(WorkerLockdown, HoldsEveryLayerThisSystemOffers) {
  TProbe probe = Start({"hold"});
  ASSERT_GT(probe.pid, 0);
  const auto fields = Fields(Receive(probe));
  ASSERT_FALSE(fields.empty()) << "the probe sent no report";
  SCOPED_TRACE(fields.at("describe"));

  EXPECT_EQ(StatusLine(probe.pid, "Seccomp"), "2");
  EXPECT_EQ(StatusLine(probe.pid, "NoNewPrivs"), "1");
  EXPECT_EQ(fields.at("locked"), "1");
  EXPECT_EQ(fields.at("open-fds"), "3");  // the stray fd 9 and standard streams are gone
  EXPECT_EQ(fields.at("env"), "TZ");      // the secret is gone; the time zone stays pinned
  for (const char* layer : {"descriptors", "environment", "no-new-privileges", "not dumpable", "seccomp"})
    EXPECT_EQ(fields.at(layer), std::to_string(Held)) << layer;
  // Where the system offers a layer, it must have held; elsewhere the probe
  // says it was unavailable rather than failing.
  const bool namespaces = UserNamespacesAllowed();
  EXPECT_EQ(fields.at("namespaces"), std::to_string(namespaces ? Held : Unavailable));
  EXPECT_EQ(fields.at("empty root"), std::to_string(namespaces ? Held : Unavailable));
  EXPECT_EQ(fields.at("landlock"), std::to_string(LandlockPresent() ? Held : Unavailable));

  if (namespaces) {
    struct stat ours {};
    ASSERT_EQ(::stat("/proc/self/ns/net", &ours), 0);
    EXPECT_NE(fields.at("netns"), std::to_string(ours.st_ino));
    // Reading another process's namespace needs the right to trace it,
    // which only a privileged test run has over a process that is not
    // dumpable.
    struct stat theirs {};
    if (::stat(("/proc/" + std::to_string(probe.pid) + "/ns/net").c_str(), &theirs) == 0) {
      EXPECT_NE(theirs.st_ino, ours.st_ino);
      EXPECT_EQ(fields.at("netns"), std::to_string(theirs.st_ino));
    }
  }
  probe.socket.Close();
  const int status = Wait(probe.pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(WorkerLockdown, StillDoesWhatDecodingNeeds) {
  const TScratchFolder scratch;
  const auto& dir = scratch.path;
  ASSERT_FALSE(dir.empty());
  { std::ofstream(dir / "picture") << "PICTURE and the rest of it"; }
  TFileDescriptor file(::open((dir / "picture").c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(file.Valid());
  TProbe probe = Start({"work"}, file.Get());
  ASSERT_GT(probe.pid, 0);
  const auto fields = Fields(Receive(probe));
  ASSERT_FALSE(fields.empty());
  EXPECT_EQ(fields.at("open-fds"), "3,4");

  TFileDescriptor memfd;
  EXPECT_EQ(Receive(probe, &memfd), "memfd");
  EXPECT_EQ(Receive(probe), "worked");
  const int status = Wait(probe.pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

  ASSERT_TRUE(memfd.Valid());
  const int seals = ::fcntl(memfd.Get(), F_GET_SEALS);
  EXPECT_EQ(seals & (F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW), F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW);
  const std::size_t size = 4u << 20;
  auto* map = static_cast<const unsigned char*>(::mmap(nullptr, size, PROT_READ, MAP_SHARED, memfd.Get(), 0));
  ASSERT_NE(map, MAP_FAILED);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(map), 7), "PICTURE");  // read from the given file
  bool pattern = true;
  for (std::size_t i = 7; i < size && pattern; ++i) pattern = map[i] == i % 251;
  EXPECT_TRUE(pattern);
  ::munmap(const_cast<unsigned char*>(map), size);
}

struct TAttempt {
  const char* name;
  bool ends;  // the filter ends the probe rather than refusing the call
};

TEST(WorkerLockdown, RefusesWhatAnIntruderWouldTry) {
  const TScratchFolder scratch;
  const auto& dir = scratch.path;
  ASSERT_FALSE(dir.empty());
  const TAttempt attempts[] = {
      {"open-passwd", true},  {"openat2-passwd", true},     {"create-file", true},    {"tcp-socket", true},
      {"unix-socket", true},  {"exec-shell", true},         {"ptrace-parent", true},  {"fork", true},
      {"clone3-fork", false}, {"executable-memory", false}, {"signal-parent", false},
  };
  for (const TAttempt& attempt : attempts) {
    SCOPED_TRACE(attempt.name);
    TProbe probe = Start({"try", attempt.name, dir.string()});
    ASSERT_GT(probe.pid, 0);
    const auto fields = Fields(Receive(probe));
    ASSERT_EQ(fields.count("locked"), 1u);
    EXPECT_EQ(fields.at("locked"), "1") << fields.at("describe");
    const std::string outcome = Receive(probe);
    const int status = Wait(probe.pid);
    EXPECT_NE(outcome, "escaped");
    if (attempt.ends && !SanitizerBuild) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS) << "status " << status << ", " << outcome;
    } else {
      EXPECT_EQ(outcome.rfind("refused ", 0), 0u) << outcome;
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir));
  }
}

}  // namespace
