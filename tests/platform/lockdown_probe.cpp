// lockdown_probe: locks itself in as the decoding worker does, tells the test
// over the socket on descriptor 3 what held, and then does what the test asks:
//   lockdown_probe hold             wait until the test closes the socket
//   lockdown_probe work             what decoding needs (threads, memory,
//                                   memfds, time); reads the file on fd 4
//   lockdown_probe try ATTEMPT DIR  what an intruder would try
#include "platform/descriptor_channel.h"
#include "platform/worker_lockdown.h"

#include <fcntl.h>
#include <linux/sched.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int SocketFd = 3;
constexpr int FileFd = 4;

const TDescriptorChannel& Test() {
  static const TDescriptorChannel channel{TFileDescriptor(SocketFd)};
  return channel;
}

void Send(const std::string& text, int fd = -1) { Test().Send(text.data(), text.size(), fd); }

std::string OpenDescriptors() {
  std::string list;
  for (int fd = 0; fd < 1024; ++fd)
    if (::fcntl(fd, F_GETFD) >= 0) list += (list.empty() ? "" : ",") + std::to_string(fd);
  return list;
}

// Everything the test checks is one message: "key=value" lines.
std::string Status(const platform::TLockdownReport& report) {
  std::string text = "locked=" + std::to_string(report.Locked()) + "\n";
  for (const auto& layer : report.layers)
    text += layer.name + "=" + std::to_string(static_cast<int>(layer.state)) + "\n";
  text += "describe=" + report.Describe() + "\n";
  text += "netns=" + std::to_string(report.networkNamespace) + "\n";
  std::string names;
  for (char** entry = environ; entry && *entry; ++entry)
    names += (names.empty() ? "" : ",") + std::string(*entry, std::strcspn(*entry, "="));
  text += "env=" + names + "\n";
  text += "open-fds=" + OpenDescriptors() + "\n";
  return text;
}

// What the decoders do while decoding, each step checked; the reply carries
// a sealed memfd with a known pattern.
std::string Work() {
  std::atomic<int> good{0};
  auto thread = [&](int index) {
    const std::string name = "probe-" + std::to_string(index);
    if (::pthread_setname_np(::pthread_self(), name.c_str()) != 0) return;
    const std::size_t bytes = 96u << 20;  // far above the mmap threshold
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    if (!block) return;
    std::memset(block, index, bytes);
    const bool same = block[bytes - 1] == index;
    std::free(block);
    std::vector<int> small(1000, index);  // from the thread's own arena
    if (same && small.back() == index) ++good;
  };
  std::thread a(thread, 1), b(thread, 2);
  a.join();
  b.join();
  if (good != 2) return "threads failed";

  timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || ::clock_gettime(CLOCK_MONOTONIC, &now) != 0) return "clock failed";
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  if (!::localtime_r(&t, &local) || !std::localtime(&t)) return "local time failed";
  const timespec nap{0, 1000000};
  if (::nanosleep(&nap, nullptr) != 0) return "sleep failed";

  char head[8] = {};
  struct stat st {};
  if (::fstat(FileFd, &st) != 0 || ::pread(FileFd, head, 7, 0) != 7 || ::lseek(FileFd, 0, SEEK_END) != st.st_size)
    return "reading the given file failed";

  const std::size_t size = 4u << 20;
  const int fd = ::memfd_create("probe", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0 || ::ftruncate(fd, size) != 0) return "memfd failed";
  void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) return "mmap failed";
  for (std::size_t i = 0; i < size; ++i) static_cast<unsigned char*>(map)[i] = static_cast<unsigned char>(i % 251);
  ::munmap(map, size);
  if (::pwrite(fd, head, 7, 0) != 7) return "pwrite failed";
  if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) return "seal failed";
  Send("memfd", fd);
  ::close(fd);
  return "worked";
}

// Returns 0 when the attempt succeeded (the sandbox failed), else the errno.
int Try(const std::string& attempt, const std::string& dir, pid_t parent) {
  const std::string target = dir + "/escaped";
  int rc = -1;
  if (attempt == "open-passwd") {
    rc = ::open("/etc/passwd", O_RDONLY);
  } else if (attempt == "openat2-passwd") {
    struct {
      std::uint64_t flags, mode, resolve;
    } how{O_RDONLY, 0, 0};
    rc = static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, "/etc/passwd", &how, sizeof how));
  } else if (attempt == "create-file") {
    rc = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  } else if (attempt == "tcp-socket") {
    rc = ::socket(AF_INET, SOCK_STREAM, 0);
  } else if (attempt == "unix-socket") {
    rc = ::socket(AF_UNIX, SOCK_STREAM, 0);
  } else if (attempt == "exec-shell") {
    const std::string command = "touch " + target;
    char* const args[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command.c_str()),
                          nullptr};
    rc = ::execve("/bin/sh", args, nullptr);
  } else if (attempt == "ptrace-parent") {
    rc = static_cast<int>(::ptrace(PTRACE_ATTACH, parent, nullptr, nullptr));
  } else if (attempt == "fork") {
    rc = ::fork();
    if (rc == 0) {
      ::open(target.c_str(), O_WRONLY | O_CREAT, 0600);
      ::_exit(0);
    }
    if (rc > 0) rc = 0;
  } else if (attempt == "clone3-fork") {
    clone_args args{};
    args.exit_signal = SIGCHLD;
    rc = static_cast<int>(::syscall(SYS_clone3, &args, sizeof args));
    if (rc == 0) ::_exit(0);
    if (rc > 0) rc = 0;
  } else if (attempt == "executable-memory") {
    void* map = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    rc = map == MAP_FAILED ? -1 : 0;
  } else if (attempt == "signal-parent") {
    rc = ::kill(parent, SIGURG);  // harmless if it got through
  } else {
    errno = EINVAL;
  }
  return rc >= 0 ? 0 : errno;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || ::fcntl(SocketFd, F_GETFD) < 0) return 2;
  const std::string mode = argv[1];
  const pid_t parent = ::getppid();
  platform::TLockdownOptions options;
  options.keep = {SocketFd};
  if (mode == "work") options.keep.push_back(FileFd);
  const platform::TLockdownReport report = platform::LockDownWorker(options);
  Send(Status(report));
  if (mode == "hold") {
    char byte;
    while (Test().Receive(&byte, 1, -1).status == TDescriptorChannel::TStatus::Message) {
    }
    return 0;
  }
  if (mode == "work") {
    Send(Work());
    return 0;
  }
  if (mode == "try" && argc == 4) {
    const int error = Try(argv[2], argv[3], parent);
    Send(error == 0 ? "escaped" : "refused " + std::to_string(error));
    return error == 0 ? 1 : 0;
  }
  return 2;
}
