// Crash safety of the rewrite in place of a file with two names: a writer
// process is killed (SIGKILL) at random instants, mostly while it copies
// and overwrites. Each kill must leave both versions recoverable (the file
// whole, or its old content whole in the kept copy and the new one in the
// temporary file), and the next write in the folder must leave the file
// byte for byte the old or the new one, under both names, with nothing
// else behind.
#include "platform/atomic_file.h"

#include "atomic_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using TClock = std::chrono::steady_clock;

// Megabytes of content are compared with ==, never EXPECT_EQ, which would
// print them.
using atomic_test::TWriter;

std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1664525 + 1013904223;
    c = char(seed >> 24);
  }
  return bytes;
}

class InPlaceKill : public atomic_test::FolderTest {
protected:
  // Whether the old and the new content can both still be had.
  bool BothRecoverable(const std::string& old, const std::string& fresh) const {
    const std::string now = ReadText(Path("photo.jpg"));
    if (now == old || now == fresh) return true;
    bool oldKept = false, freshKept = false;
    for (const std::string& name : Entries()) {
      if (name.rfind(".velvane-", 0) != 0) continue;
      const std::string content = ReadText(Path(name));
      oldKept = oldKept || content == old;
      freshKept = freshKept || content == fresh;
    }
    return oldKept && freshKept;
  }
};

TEST_F(InPlaceKill, EveryKillLeavesBothVersionsAndTheNextWriteSettlesThem) {
  const std::string old = Noise(6'000'000, 1);
  // A longer and a shorter new content: the file grows, or must be cut.
  const std::string sources = atomic_test::MakeFolder(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  const std::vector<std::string> fresh = {Noise(7'000'000, 2), Noise(4'500'000, 3)};
  for (size_t i = 0; i < fresh.size(); ++i) WriteFile(sources + "/" + std::to_string(i), fresh[i]);
  const std::string photo = Path("photo.jpg"), other = Path("album/same.jpg");
  fs::create_directory(Path("album"));
  WriteFile(photo, old);
  ASSERT_EQ(::link(photo.c_str(), other.c_str()), 0);
  const std::vector<std::string> clean = {"album", "photo.jpg"};

  // Undisturbed: how long the whole write and the part after the
  // announcement (the copy and the rewrite) take.
  double whole = 0, inPlace = 0;
  for (size_t i = 0; i < fresh.size(); ++i) {
    WriteFile(photo, old);
    const auto start = TClock::now();
    TWriter writer(TWriter::Arguments(photo, sources + "/" + std::to_string(i)));
    ASSERT_TRUE(writer.Started());
    ASSERT_TRUE(writer.WaitForReplacing(30000));
    const auto announced = TClock::now();
    ASSERT_EQ(writer.Wait(), 0);
    whole = std::max(whole, std::chrono::duration<double>(TClock::now() - start).count());
    inPlace = std::max(inPlace, std::chrono::duration<double>(TClock::now() - announced).count());
    ASSERT_TRUE(ReadText(other) == fresh[i]) << "the other name keeps the old content";
    EXPECT_EQ(Entries(), clean);
  }

  std::mt19937 random(20240719);
  int asOld = 0, asNew = 0, torn = 0;
  constexpr int Kills = 40;
  for (int i = 0; i < Kills; ++i) {
    SCOPED_TRACE("kill " + std::to_string(i));
    const std::string& content = fresh[size_t(i) % fresh.size()];
    WriteFile(photo, old);
    TWriter writer(TWriter::Arguments(photo, sources + "/" + std::to_string(i % fresh.size())));
    ASSERT_TRUE(writer.Started());
    // Three kills in four land in the rewrite, the rest anywhere.
    if (i % 4 != 3) {
      ASSERT_TRUE(writer.WaitForReplacing(30000));
      std::this_thread::sleep_for(std::chrono::duration<double>(inPlace * (random() % 1000) / 1000.0));
    } else {
      std::this_thread::sleep_for(std::chrono::duration<double>(whole * (random() % 1000) / 1000.0));
    }
    writer.Kill();
    const std::string now = ReadText(photo);
    torn += now != old && now != content;
    EXPECT_TRUE(BothRecoverable(old, content));

    ASSERT_TRUE(ReplaceFileAtomically(Path("note.txt"), Bytes("note")));
    const std::string settled = ReadText(photo);
    if (settled == old)
      ++asOld;
    else if (settled == content)
      ++asNew;
    else
      ADD_FAILURE() << "the file holds " << settled.size() << " other bytes";
    EXPECT_TRUE(ReadText(other) == settled) << "the two names differ";
    EXPECT_EQ(Entries(), (std::vector<std::string>{"album", "note.txt", "photo.jpg"}));
    fs::remove(Path("note.txt"));
  }
  fs::remove_all(sources);
  EXPECT_EQ(asOld + asNew, Kills);
  std::printf("%d kills: %d cut the rewrite in place short; settled, %d left the old file, %d the new one\n", Kills,
              torn, asOld, asNew);
}

}  // namespace
