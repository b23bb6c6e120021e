#pragma once

// What the atomic-file tests share: a scratch folder (in memory where
// /dev/shm allows it), whole-file reads and writes, the folder's entries,
// shell tools' output, and the writer process (atomic_writer.cpp).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace atomic_test {

namespace fs = std::filesystem;

inline std::string MakeFolder(const char* base) {
  std::string templ = std::string(base) + "/velvane-atomic-XXXXXX";
  return ::mkdtemp(templ.data()) ? templ : std::string();
}

class FolderTest : public testing::Test {
protected:
  void SetUp() override {
    folder = MakeFolder(Base());
    ASSERT_FALSE(folder.empty());
  }
  // Memory where it is writable: the kill tests rewrite many megabytes.
  virtual const char* Base() const { return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"; }
  void TearDown() override { fs::remove_all(folder); }

  std::string Path(const std::string& name) const { return folder + "/" + name; }
  void WriteText(const std::string& name, const std::string& text) const { WriteFile(Path(name), text); }
  // Truncates and writes in place, so the file keeps its inode and links.
  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  }
  // At once: a character-wise read is slow for the kill test's megabytes.
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string text(in ? size_t(in.tellg()) : 0, '\0');
    in.seekg(0);
    if (!in.read(text.data(), std::streamsize(text.size()))) text.clear();
    return text;
  }
  std::vector<std::string> Entries(const std::string& sub = {}) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(sub.empty() ? folder : Path(sub)))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  }

  std::string folder;
};

// A shell command's standard output.
inline std::string Shell(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    ::pclose(pipe);
  }
  return output;
}

// atomic_writer running in a child process; its output is readable.
class TWriter {
public:
  explicit TWriter(std::vector<std::string> args) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    FOutput = fds[0];
  }
  // The writer replacing target with source's bytes, optionally as another
  // user through setpriv.
  static std::vector<std::string> Arguments(const std::string& target, const std::string& source,
                                            const char* extra = nullptr) {
    std::vector<std::string> args = {ATOMIC_WRITER, target, source};
    if (extra) args.push_back(extra);
    return args;
  }
  ~TWriter() {
    Kill();
    if (FOutput >= 0) ::close(FOutput);
  }
  bool Started() const { return FPid > 0; }
  // Waits up to timeoutMs for the writer to say that it is replacing the file.
  bool WaitForReplacing(int timeoutMs) {
    pollfd p{FOutput, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN);
  }
  int Kill() {
    if (FPid > 0) ::kill(FPid, SIGKILL);
    return Wait();
  }
  // The exit status, -1 when a signal ended it.
  int Wait() {
    if (FPid <= 0) return FStatus;
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FPid = -1;
    FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return FStatus;
  }

private:
  pid_t FPid = -1;
  int FOutput = -1;
  int FStatus = -1;
};

}  // namespace atomic_test
