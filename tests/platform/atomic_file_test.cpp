// Atomic file replacement: the target is either the old file or the whole new
// one, with the old permissions, and no temporary file is left behind.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AtomicFile : public testing::Test {
protected:
  void SetUp() override {
    char templ[] = "/tmp/velvane-atomic-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    folder = templ;
  }
  void TearDown() override {
    fs::remove_all(folder);
    BeforeAtomicReplaceHook() = nullptr;
  }

  std::string Path(const std::string& name) const { return folder + "/" + name; }
  void WriteText(const std::string& name, const std::string& text) const { std::ofstream(Path(name)) << text; }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  }

  std::string folder;
};

TEST_F(AtomicFile, ReplacesKeepingModeAndWritesThroughALink) {
  WriteText("photo.jpg", "old");
  ASSERT_EQ(::chmod(Path("photo.jpg").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("photo.jpg", Path("link.jpg").c_str()), 0);

  std::vector<std::string> replaced;
  const int id = AddFileReplacedListener([&](const std::string& path) { replaced.push_back(path); });
  int error = -1;
  EXPECT_TRUE(ReplaceFileAtomically(Path("link.jpg"), Bytes("new content"), &error));
  RemoveFileReplacedListener(id);

  EXPECT_EQ(error, 0);
  EXPECT_EQ(ReadText(Path("photo.jpg")), "new content");
  EXPECT_TRUE(fs::is_symlink(Path("link.jpg")));
  struct stat info;
  ASSERT_EQ(::stat(Path("photo.jpg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.jpg", "photo.jpg"}));
  ASSERT_EQ(replaced.size(), 1u);
  EXPECT_EQ(replaced[0], fs::canonical(Path("photo.jpg")).string());
}

TEST_F(AtomicFile, ANewFileGetsTheModeOpenWouldGiveIt) {
  const mode_t mask = ::umask(027);
  EXPECT_TRUE(ReplaceFileAtomically(Path("new.png"), Bytes("x")));
  ::umask(mask);
  struct stat info;
  ASSERT_EQ(::stat(Path("new.png").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(AtomicFile, AFailedWriteLeavesTheTargetAndNoTemporaryFile) {
  WriteText("photo.jpg", "original");
  // A file size limit stands in for a full disk: the write fails with EFBIG.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old;
  limit.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);

  bool notified = false;
  const int id = AddFileReplacedListener([&](const std::string&) { notified = true; });
  int error = 0;
  const std::string big(100000, 'x');
  const bool ok = ReplaceFileAtomically(Path("photo.jpg"), Bytes(big), &error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  RemoveFileReplacedListener(id);

  EXPECT_FALSE(ok);
  EXPECT_EQ(error, EFBIG);
  EXPECT_FALSE(notified);
  EXPECT_EQ(ReadText(Path("photo.jpg")), "original");
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.jpg"});
}

TEST_F(AtomicFile, RefusesWhatIsNotARegularFileAndAMissingFolder) {
  fs::create_directory(Path("album"));
  TAtomicFile folderTarget(Path("album"));
  EXPECT_FALSE(folderTarget.Open());
  EXPECT_EQ(folderTarget.Error(), EISDIR);
  EXPECT_TRUE(fs::is_directory(Path("album")));

  TAtomicFile missing(Path("no/such/folder.jpg"));
  EXPECT_FALSE(missing.Open());
  EXPECT_EQ(missing.Error(), ENOENT);
  EXPECT_FALSE(missing.Commit());
}

TEST_F(AtomicFile, UntilTheRenameTheOldFileStandsAndDiscardRemovesTheNewOne) {
  WriteText("photo.jpg", "old");
  std::string seenTarget, seenTemporary;
  BeforeAtomicReplaceHook() = [&](const std::string& temporary) {
    seenTarget = ReadText(Path("photo.jpg"));
    seenTemporary = ReadText(temporary);
  };
  {
    TAtomicFile file(Path("photo.jpg"));
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), fs::path(folder));
    ASSERT_TRUE(file.Write(Bytes("new")));
    EXPECT_TRUE(file.Commit());
  }
  EXPECT_EQ(seenTarget, "old");
  EXPECT_EQ(seenTemporary, "new");
  EXPECT_EQ(ReadText(Path("photo.jpg")), "new");

  {
    TAtomicFile file(Path("photo.jpg"));
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.Write(Bytes("abandoned")));
  }
  EXPECT_EQ(ReadText(Path("photo.jpg")), "new");
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.jpg"});
}

TEST_F(AtomicFile, AFailureReportedByADirectWriterStopsTheCommit) {
  WriteText("photo.jpg", "old");
  TAtomicFile file(Path("photo.jpg"));
  ASSERT_TRUE(file.Open());
  ASSERT_EQ(::write(file.Descriptor(), "half", 4), 4);
  file.Fail(ENOSPC);
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(file.Error(), ENOSPC);
  EXPECT_EQ(ReadText(Path("photo.jpg")), "old");
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.jpg"});
}

}  // namespace

namespace {

// The check of a new file sees it complete under its temporary name; a
// veto leaves the target as it was, no temporary file, and the reason.
TEST_F(AtomicFile, AVerifierSeesTheCompleteFileAndCanRefuseIt) {
  WriteText("photo.png", "old");
  std::string seen;
  TAtomicFile file(Path("photo.png"));
  file.SetVerifier([&](const std::string& temporary) {
    seen = ReadText(temporary);
    return std::string("the new file holds 1 picture, not 3");
  });
  ASSERT_TRUE(file.Open() && file.Write(Bytes("new content")));
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(seen, "new content");
  EXPECT_EQ(file.Error(), ECANCELED);
  EXPECT_EQ(file.VetoReason(), "the new file holds 1 picture, not 3");
  EXPECT_EQ(ReadText(Path("photo.png")), "old");
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.png"});

  TAtomicFile accepted(Path("photo.png"));
  accepted.SetVerifier([](const std::string&) { return std::string(); });
  ASSERT_TRUE(accepted.Open() && accepted.Write(Bytes("new")) && accepted.Commit());
  EXPECT_EQ(ReadText(Path("photo.png")), "new");
}

}  // namespace
