// What killed writes leave beside a photo goes with the next write in its
// folder; nothing a live writer holds, nothing that only looks like ours,
// and no copy that may be the only whole picture left.
#include "platform/atomic_file.h"

#include "atomic_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Leftovers : public atomic_test::FolderTest {
protected:
  // A write of another file in the folder, which cleans up first.
  void WriteSomethingElse() { ASSERT_TRUE(ReplaceFileAtomically(Path("note.txt"), Bytes("note"))); }
  std::vector<std::string> Without(std::vector<std::string> names, const std::string& name) {
    std::erase(names, name);
    return names;
  }
};

TEST_F(Leftovers, AKilledWritesFileGoesWithTheNextWriteAndALiveWritersStays) {
  WriteText("photo.jpg", "old");
  const std::string sources = atomic_test::MakeFolder("/tmp");
  WriteFile(sources + "/new", "new content");
  {
    atomic_test::TWriter writer(atomic_test::TWriter::Arguments(Path("photo.jpg"), sources + "/new", "die"));
    ASSERT_TRUE(writer.Started());
    EXPECT_EQ(writer.Wait(), -1);
  }
  fs::remove_all(sources);
  EXPECT_EQ(ReadText(Path("photo.jpg")), "old");
  const std::vector<std::string> afterKill = Entries();
  ASSERT_EQ(afterKill.size(), 2u);
  const std::string leftover = afterKill[0];
  EXPECT_EQ(ReadText(Path(leftover)), "new content");

  // Names that only look like ours, and files of our names that are not
  // ours to remove: a folder, a link, a fifo, a file with a second name and,
  // where the test may make one, a file of another user.
  for (const char* name :
       {".velvane-abc12", ".velvane-abc1234", "velvane-abc123", ".velvane-ab_123", ".velvane-abc123.jpg",
        ".velvane-abc123.old-", ".velvane-abc123.old-x1", ".velvane-abc123.old-007", ".VELVANE-abc123", "two.txt"})
    WriteText(name, "someone's");
  fs::create_directory(Path(".velvane-dir123"));
  ASSERT_EQ(::symlink("photo.jpg", Path(".velvane-lnk123").c_str()), 0);
  ASSERT_EQ(::mkfifo(Path(".velvane-fif123").c_str(), 0600), 0);
  ASSERT_EQ(::link(Path("two.txt").c_str(), Path(".velvane-two123").c_str()), 0);
  if (::geteuid() == 0) {
    WriteText(".velvane-oth123", "someone's");
    ASSERT_EQ(::chown(Path(".velvane-oth123").c_str(), 65534, 65534), 0);
  }

  const std::vector<std::string> before = Entries();

  // The next writer removes the leftover when it starts; a write of another
  // file meanwhile leaves the live writer's file alone.
  TAtomicFile live(Path("live.png"));
  ASSERT_TRUE(live.Open());
  ASSERT_TRUE(live.Write(Bytes("live")));
  WriteSomethingElse();
  std::vector<std::string> expected = Without(before, leftover);
  expected.push_back("note.txt");
  expected.push_back(fs::path(live.TemporaryPath()).filename().string());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(ReadText(Path("photo.jpg")), "old");

  EXPECT_TRUE(live.Commit());
  EXPECT_EQ(ReadText(Path("live.png")), "live");
}

// The files a rewrite in place leaves when it is interrupted, made by hand:
// the photo (with a second name), the new content and the kept old one.
struct TInterrupted {
  const char* what;
  std::string photo;     // what the photo holds
  bool ownInode = true;  // false: the kept copy names another file's inode
  std::string expected;  // what the photo holds after the next write
  bool copiesStay;
};

TEST_F(Leftovers, AnInterruptedRewriteInPlaceIsSettledFromItsCopies) {
  std::string old(3000, 'o'), fresh(5000, 'n'), shorter(2000, 's');
  for (size_t i = 0; i < old.size(); i += 7) old[i] = char(i);
  const std::string changed(3000, 'c');
  const std::vector<std::pair<std::string, TInterrupted>> cases = {
      {fresh, {"half written", fresh.substr(0, 2500) + old.substr(2500), true, old, false}},
      {fresh, {"written past the old end", fresh.substr(0, 4000), true, old, false}},
      {fresh, {"written with a hole", old + std::string(1000, '\0'), true, old, false}},
      {shorter, {"written, not yet cut", shorter + old.substr(2000), true, old, false}},
      {fresh, {"finished", fresh, true, fresh, false}},
      {fresh, {"not begun", old, true, old, false}},
      {fresh, {"changed since by someone else", changed, true, changed, true}},
      {fresh,
       {"of a file no longer here", old.substr(0, 1000) + fresh.substr(1000, 2000), false,
        old.substr(0, 1000) + fresh.substr(1000, 2000), true}},
  };
  for (const auto& [content, c] : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(folder);
    fs::create_directories(Path("album"));
    WriteText("photo.jpg", c.photo);
    ASSERT_EQ(::link(Path("photo.jpg").c_str(), Path("album/same.jpg").c_str()), 0);
    struct stat info;
    ASSERT_EQ(::stat(Path(c.ownInode ? "photo.jpg" : "album/same.jpg").c_str(), &info), 0);
    if (!c.ownInode) {  // the photo was replaced by another file since
      fs::remove(Path("photo.jpg"));
      WriteText("photo.jpg", c.photo);
    }
    const std::string temporary = ".velvane-Ab3xY9", kept = temporary + ".old-" + std::to_string(info.st_ino);
    WriteText(temporary, content);
    WriteText(kept, old);

    WriteSomethingElse();
    EXPECT_EQ(ReadText(Path("photo.jpg")), c.expected);
    if (c.ownInode) {
      EXPECT_EQ(ReadText(Path("album/same.jpg")), c.expected);
    }
    std::vector<std::string> expected = {"album", "note.txt", "photo.jpg"};
    if (c.copiesStay) {
      expected.insert(expected.begin(), {temporary, kept});
      EXPECT_EQ(ReadText(Path(kept)), old);
      EXPECT_EQ(ReadText(Path(temporary)), content);
    }
    EXPECT_EQ(Entries(), expected);
  }
}

}  // namespace
