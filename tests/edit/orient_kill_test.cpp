// Crash safety of every write: a second process saves, rotates or flips a
// 20 MB camera-sized JPEG and is killed (SIGKILL) at random instants. The
// file must always be the old one or the finished new one, byte for byte;
// the finished one decodes and carries the right orientation.
#include "edit_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

// A noisy photo-like picture: a gradient and squares under strong noise, so
// that the JPEG is as large as a camera's, stored with orientation 6.
TBytes CameraJpeg(int width, int height) {
  TDib dib(FreeImage_Allocate(width, height, 24));
  uint32_t noise = 1;
  for (int y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) {
      noise = noise * 1664525 + 1013904223;
      line[x * 3 + FI_RGBA_RED] = BYTE(x * 127 / width + (noise >> 25));
      line[x * 3 + FI_RGBA_GREEN] = BYTE(y * 127 / height + ((noise >> 17) & 127));
      line[x * 3 + FI_RGBA_BLUE] = BYTE(((x / 128 + y / 128) % 2 ? 100 : 0) + ((noise >> 9) & 127));
    }
  }
  const TBytes jpeg = EncodeWithFreeImage(dib.get(), FIF_JPEG, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444);
  return InsertAfterSoi(jpeg, Segment(0xE1, Concat({Text(std::string("Exif\0\0", 6)),
                                                    TBytes{0x49, 0x49, 0x2A, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3,
                                                           0,    1,    0,    0, 0, 6, 0, 0, 0, 0, 0,    0, 0}})));
}

// The file read at once (the tests' byte-wise reader is slow for 20 MB).
TBytes ReadWhole(const std::string& path) {
  TBytes bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fseek(file, 0, SEEK_END);
    bytes.resize(size_t(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) bytes.clear();
    std::fclose(file);
  }
  return bytes;
}

// The child process, its standard output readable through a pipe.
class TChild {
public:
  TChild(const std::string& command, const std::string& path, bool die = false) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> args = {ORIENT_CHILD, command, path};
    if (die) args.push_back("die");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&FPid, ORIENT_CHILD, &actions, nullptr, argv.data(), environ) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    FOutput = fds[0];
  }
  ~TChild() {
    Kill();
    if (FOutput >= 0) close(FOutput);
  }
  bool Started() const { return FPid > 0; }
  // Waits up to timeoutMs for the child to say that it is replacing the file.
  bool WaitForReplacing(int timeoutMs) {
    pollfd p{FOutput, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN);
  }
  // Kills the child unless it has ended; its exit status (-1 when killed).
  int Kill() {
    if (FPid <= 0) return FStatus;
    kill(FPid, SIGKILL);
    return Wait();
  }
  int Wait() {
    if (FPid <= 0) return FStatus;
    int status = 0;
    waitpid(FPid, &status, 0);
    FPid = -1;
    FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return FStatus;
  }

private:
  pid_t FPid = -1;
  int FOutput = -1;
  int FStatus = -1;
};

struct TCommand {
  const char* name;
  int orientation;          // of the finished file; 0 for none
  TPictureTransform shown;  // how the finished file shows the original's upright picture
  TBytes finished;
  double seconds = 0;
};

// The files live in memory where /dev/shm allows it: a kill does not lose
// what the page cache holds, so flushing to a disk would only slow the test.
std::unique_ptr<TTestFolder> MemoryFolder() {
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  return std::make_unique<TTestFolder>();
}

class KillTest : public testing::Test {
protected:
  void SetUp() override {
    original = CameraJpeg(2816, 2112);
    ASSERT_GE(original.size(), size_t(20'000'000));
    path = Path("photo.jpg");
    upright = Small(original);
  }
  // A 1/8 scale decode, shown upright.
  static TDib Small(const TBytes& jpeg) { return DecodeBytes(jpeg, JPEG_EXIFROTATE | (360 << 16)); }
  std::string Path(const std::string& name) const { return folder->Path(name); }
  std::vector<std::string> Entries() const { return folder->Entries(); }
  void RemoveTemporaries() {
    for (const std::string& name : Entries())
      if (name != "photo.jpg") std::filesystem::remove(Path(name));
  }

  std::unique_ptr<TTestFolder> folder = MemoryFolder();
  TBytes original;
  std::string path;
  TDib upright;
};

TEST_F(KillTest, EveryKillLeavesTheOldFileOrTheFinishedNewOne) {
  std::vector<TCommand> commands = {{"rotate", 1, ptRotate90, {}},
                                    {"flip", 0, ptFlipHorizontal, {}},
                                    {"rotate-edited", 1, ptRotate90, {}},
                                    {"flip-edited", 0, ptFlipHorizontal, {}},
                                    {"save", 1, ptIdentity, {}}};

  // Each command once, undisturbed: the finished file it must leave.
  for (TCommand& command : commands) {
    WriteFile(path, original);
    const auto start = TClock::now();
    TChild child(command.name, path);
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.Wait(), 0) << command.name;
    command.seconds = std::chrono::duration<double>(TClock::now() - start).count();
    command.finished = ReadWhole(path);
    ASSERT_NE(command.finished, original) << command.name;
    EXPECT_EQ(ExifOrientation(command.finished), command.orientation) << command.name;
    EXPECT_TRUE(DecodeBytes(command.finished)) << command.name;
    EXPECT_LT(MeanDifference(Small(command.finished).get(), Transformed(upright.get(), command.shown).get()), 6.0)
        << command.name;
    EXPECT_EQ(Entries(), std::vector<std::string>{"photo.jpg"});
  }

  // Killed at the worst moment, with the new file complete but not yet in
  // place: the old file stays.
  for (const TCommand& command : commands) {
    if (std::string(command.name) == "flip" || std::string(command.name) == "rotate-edited") continue;  // same paths
    WriteFile(path, original);
    TChild child(command.name, path, true);
    EXPECT_EQ(child.Wait(), -1);
    EXPECT_EQ(ReadWhole(path), original) << command.name;
    RemoveTemporaries();
  }

  // Killed at random instants: around the replacement (just after the child
  // announced it) and anywhere in the whole command.
  std::mt19937 random(20240611);
  int old = 0, finished = 0;
  constexpr int Kills = 50;
  for (int i = 0; i < Kills; ++i) {
    const TCommand& command = commands[size_t(i) % commands.size()];
    WriteFile(path, original);
    TChild child(command.name, path);
    ASSERT_TRUE(child.Started());
    // One kill in five, on each command in turn, lands around the replacement.
    if ((i + i / int(commands.size())) % int(commands.size()) == 0) {
      ASSERT_TRUE(child.WaitForReplacing(30000)) << command.name;
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 1500));
    } else {
      std::this_thread::sleep_for(std::chrono::duration<double>(command.seconds * (random() % 1000) / 1000.0));
    }
    child.Kill();
    const TBytes now = ReadWhole(path);
    if (now == original)
      ++old;
    else if (now == command.finished)
      ++finished;
    else
      ADD_FAILURE() << "kill " << i << " during " << command.name << " left " << now.size() << " other bytes";
    RemoveTemporaries();
  }
  EXPECT_EQ(old + finished, Kills);
  std::printf("%d kills: %d left the old file, %d the finished new one\n", Kills, old, finished);
}

}  // namespace
