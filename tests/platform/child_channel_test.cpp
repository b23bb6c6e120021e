// The socket a helper process is started with, the process's life, and the
// sealed memory files that travel over the socket.
#include "platform/child_process.h"
#include "platform/descriptor_channel.h"
#include "platform/memory_file.h"
#include "platform/posix_io.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

std::string Text(const TDescriptorChannel& channel, TFileDescriptor* passed = nullptr, int timeoutMs = 5000) {
  char buffer[256];
  TDescriptorChannel::TReceived received = channel.Receive(buffer, sizeof buffer, timeoutMs);
  if (received.status != TDescriptorChannel::TStatus::Message) return "<none>";
  if (passed) *passed = std::move(received.descriptor);
  return std::string(buffer, received.bytes);
}

TFileDescriptor SealedFileHolding(const std::string& text) {
  TFileDescriptor fd(CreateMemoryFile(text.size()));
  EXPECT_EQ(WriteAt(fd.Get(), text.data(), text.size(), 0), 0);
  EXPECT_TRUE(SealMemoryFile(fd.Get()));
  return fd;
}

TEST(DescriptorChannel, CarriesWholeMessagesWithOneDescriptorEach) {
  auto [ours, theirs] = TDescriptorChannel::Pair();
  ASSERT_TRUE(ours.Valid() && theirs.Valid());
  EXPECT_EQ(Text(ours, nullptr, 0), "<none>") << "nothing sent yet";

  const TFileDescriptor memory = SealedFileHolding("pixels");
  ASSERT_TRUE(theirs.Send("first", 5, memory.Get()));
  ASSERT_TRUE(theirs.Send("second", 6));
  TFileDescriptor passed;
  EXPECT_EQ(Text(ours, &passed), "first");
  ASSERT_TRUE(passed.Valid());
  EXPECT_NE(passed.Get(), memory.Get());
  char head[6] = {};
  EXPECT_TRUE(ReadAllAt(passed.Get(), head, sizeof head, 0));
  EXPECT_EQ(std::string(head, sizeof head), "pixels");
  TFileDescriptor none;
  EXPECT_EQ(Text(ours, &none), "second");
  EXPECT_FALSE(none.Valid());

  // A message longer than the buffer is told apart from one that fits.
  ASSERT_TRUE(theirs.Send("0123456789", 10));
  char small[4];
  const TDescriptorChannel::TReceived cut = ours.Receive(small, sizeof small, 1000);
  EXPECT_EQ(cut.status, TDescriptorChannel::TStatus::Message);
  EXPECT_TRUE(cut.truncated);

  theirs.Close();
  EXPECT_EQ(ours.Receive(small, sizeof small, 1000).status, TDescriptorChannel::TStatus::Closed);
  EXPECT_FALSE(ours.Send("late", 4)) << "a send to a closed peer fails, without SIGPIPE";
}

TEST(SealedFile, TakesOnlyAFileThatCanNoLongerChange) {
  TFileDescriptor open(CreateMemoryFile(4096));
  ASSERT_TRUE(open.Valid());
  EXPECT_FALSE(TSealedFile::Adopt(std::move(open)).Valid()) << "unsealed";
  EXPECT_FALSE(TSealedFile::Adopt(TFileDescriptor()).Valid());

  std::string text(5000, 'a');
  text[4100] = 'b';
  const TSealedFile file = TSealedFile::Adopt(SealedFileHolding(text));
  ASSERT_TRUE(file.Valid());
  EXPECT_EQ(file.Size(), text.size());
  EXPECT_TRUE(file.Holds(4999, 1));
  EXPECT_FALSE(file.Holds(4999, 2));
  EXPECT_FALSE(file.Holds(~0ull, 2)) << "no wrap-around";
  char byte = 0;
  EXPECT_FALSE(file.Read(&byte, 1, 5000));

  // Mapped at an offset off the page boundary; writes stay private.
  const std::shared_ptr<std::uint8_t> rows = file.MapPrivate(4100, 10);
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows.get()[0], 'b');
  rows.get()[0] = 'c';
  ASSERT_TRUE(file.Read(&byte, 1, 4100));
  EXPECT_EQ(byte, 'b');
  EXPECT_FALSE(file.MapPrivate(4990, 11)) << "beyond the end";
}

// Where each descriptor of process pid leads.
std::map<int, std::string> DescriptorTargets(const std::string& pid) {
  std::map<int, std::string> targets;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + pid + "/fd")) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (!error) targets[std::stoi(entry.path().filename().string())] = target.string();
  }
  return targets;
}

TEST(ChildProcess, StartsWithItsSocketAsDescriptorThreeAndNothingElseOfOurs) {
  const TFileDescriptor stray(CreateMemoryFile(16));  // close-on-exec, as all of ours are
  TChildProcess child;
  TDescriptorChannel channel;
  // The shell waits until its socket closes.
  ASSERT_TRUE(child.Start("/bin/sh", {"sh", "-c", "read line <&3; exit 7"}, channel));
  ASSERT_GT(child.Pid(), 0);
  // Once it runs the program (posix_spawn returns only then, except under
  // valgrind).
  const auto started = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - started < std::chrono::seconds(5)) {
    std::string name;
    std::ifstream(("/proc/" + std::to_string(child.Pid()) + "/cmdline").c_str()) >> name;
    if (name.starts_with("sh")) break;
  }
  const std::map<int, std::string> ours = DescriptorTargets("self");
  const std::map<int, std::string> theirs = DescriptorTargets(std::to_string(child.Pid()));
  ASSERT_TRUE(theirs.contains(3));
  EXPECT_TRUE(theirs.at(3).starts_with("socket:")) << theirs.at(3);
  EXPECT_NE(theirs.at(3), ours.at(channel.Fd())) << "the child has the other end";
  for (const auto& [fd, target] : theirs) {
    EXPECT_NE(target, ours.at(stray.Get())) << "descriptor " << fd;
    EXPECT_NE(target, ours.at(channel.Fd())) << "descriptor " << fd;
  }
  EXPECT_FALSE(child.Ended());

  channel.Close();
  const std::optional<TChildEnding> ending = child.WaitEnded(std::chrono::seconds(5));
  ASSERT_TRUE(ending);
  EXPECT_TRUE(ending->exited);
  EXPECT_EQ(ending->exitCode, 7);
  EXPECT_FALSE(ending->Crashed());
}

TEST(ChildProcess, TellsAKillFromACrash) {
  TChildProcess sleeper;
  TDescriptorChannel channel;
  ASSERT_TRUE(sleeper.Start("/bin/sh", {"sh", "-c", "read line <&3"}, channel));
  sleeper.Kill();
  std::optional<TChildEnding> ending = sleeper.WaitEnded(std::chrono::seconds(5));
  ASSERT_TRUE(ending);
  EXPECT_TRUE(ending->Killed());
  EXPECT_FALSE(ending->Crashed());

  TChildProcess crasher;
  ASSERT_TRUE(crasher.Start("/bin/sh", {"sh", "-c", "kill -SEGV $$"}, channel));
  ending = crasher.WaitEnded(std::chrono::seconds(5));
  ASSERT_TRUE(ending);
  EXPECT_EQ(ending->signal, SIGSEGV);
  EXPECT_TRUE(ending->Crashed());

  // A program that is not there: refused at once, or (where spawning cannot
  // see the exec fail, as under valgrind) a child that ends as one.
  TChildProcess missing;
  if (missing.Start("/nonexistent/program", {"program"}, channel)) {
    ending = missing.WaitEnded(std::chrono::seconds(5));
    ASSERT_TRUE(ending);
    EXPECT_TRUE(ending->exited && ending->exitCode == 127);
  } else {
    EXPECT_FALSE(channel.Valid());
    EXPECT_FALSE(missing.Running());
  }
}

}  // namespace
