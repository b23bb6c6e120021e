// Atomic file replacement: the target is either the old file or the whole new
// one, with the old permissions, owner, extended attributes and links, and no
// temporary file is left behind.
#include "platform/atomic_file.h"

#include "atomic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using atomic_test::Shell;

class AtomicFile : public atomic_test::FolderTest {
protected:
  void TearDown() override {
    FolderTest::TearDown();
    BeforeAtomicReplaceHook() = nullptr;
  }
  // A disk folder: tmpfs holds user attributes only on recent kernels.
  const char* Base() const override { return ::access("/var/tmp", W_OK) == 0 ? "/var/tmp" : "/tmp"; }

  // Every extended attribute as getfattr dumps it, the file's name left out.
  static std::string Attributes(const std::string& path) {
    return Shell("getfattr --absolute-names -d -m - -e hex '" + path + "' | grep -v '^# file:'");
  }
  static std::string Acl(const std::string& path) {
    return Shell("getfacl --absolute-names --omit-header '" + path + "'");
  }
  static ino_t Inode(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
  }
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

TEST_F(AtomicFile, KeepsExtendedAttributesAndAclsWithoutGainingTheFoldersDefault) {
  WriteText("photo.jpg", "old");
  const std::string photo = Path("photo.jpg");
  Shell("setfattr -n user.xdg.tags -v holiday '" + photo + "'");
  Shell("setfattr -n user.binary -v 0x00ff0a00 '" + photo + "'");
  Shell("setfacl -m u:nobody:rw,g:nogroup:r '" + photo + "'");
  if (::geteuid() == 0) Shell("setfattr -n trusted.velvane -v kept '" + photo + "'");
  // A default ACL on the folder, which a file made there inherits.
  Shell("setfacl -d -m u:nobody:rwx '" + folder + "'");
  WriteText("plain.jpg", "old");
  Shell("setfacl -b '" + Path("plain.jpg") + "'");
  const std::string attributes = Attributes(photo), acl = Acl(photo), plainAcl = Acl(Path("plain.jpg"));
  if (attributes.find("user.xdg.tags") == std::string::npos || acl.find("user:nobody:rw-") == std::string::npos)
    GTEST_SKIP() << "this file system holds no user attributes or ACLs";
  ASSERT_EQ(plainAcl.find("nobody"), std::string::npos);
  ASSERT_NE(attributes.find("system.posix_acl_access"), std::string::npos);
  struct stat before;
  ASSERT_EQ(::stat(photo.c_str(), &before), 0);

  EXPECT_TRUE(ReplaceFileAtomically(photo, Bytes("new content")));
  EXPECT_TRUE(ReplaceFileAtomically(Path("plain.jpg"), Bytes("new content")));
  EXPECT_TRUE(ReplaceFileAtomically(Path("new.jpg"), Bytes("new content")));

  EXPECT_EQ(ReadText(photo), "new content");
  EXPECT_EQ(Attributes(photo), attributes);
  EXPECT_EQ(Acl(photo), acl);
  struct stat after;
  ASSERT_EQ(::stat(photo.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode, before.st_mode);
  // No access is granted by a write: a file without an ACL stays without,
  // while a new file follows the folder as any new file does.
  EXPECT_EQ(Acl(Path("plain.jpg")), plainAcl);
  EXPECT_NE(Acl(Path("new.jpg")).find("user:nobody:"), std::string::npos);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"new.jpg", "photo.jpg", "plain.jpg"}));
}

TEST_F(AtomicFile, EveryNameOfAHardLinkedFileSeesTheNewContent) {
  WriteText("photo.jpg", "the old picture");
  const std::string photo = Path("photo.jpg"), other = Path("album/same.jpg");
  fs::create_directory(Path("album"));
  ASSERT_EQ(::link(photo.c_str(), other.c_str()), 0);
  ASSERT_EQ(::chmod(photo.c_str(), 0640), 0);
  Shell("setfattr -n user.xdg.tags -v holiday '" + photo + "'");
  const std::string attributes = Attributes(photo);
  const ino_t inode = Inode(photo);

  std::vector<std::string> replaced;
  const int id = AddFileReplacedListener([&](const std::string& path) { replaced.push_back(path); });
  // Longer, then shorter than what the file holds.
  EXPECT_TRUE(ReplaceFileAtomically(photo, Bytes("the new picture, a little longer")));
  EXPECT_EQ(ReadText(other), "the new picture, a little longer");
  EXPECT_TRUE(ReplaceFileAtomically(other, Bytes("turned")));
  RemoveFileReplacedListener(id);

  EXPECT_EQ(ReadText(photo), "turned");
  EXPECT_EQ(ReadText(other), "turned");
  struct stat info;
  ASSERT_EQ(::stat(photo.c_str(), &info), 0);
  EXPECT_EQ(info.st_ino, inode);
  EXPECT_EQ(info.st_nlink, 2u);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Attributes(photo), attributes);
  EXPECT_EQ(replaced.size(), 2u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"album", "photo.jpg"}));
  EXPECT_EQ(Entries("album"), std::vector<std::string>{"same.jpg"});
}

// A file size limit stands in for a full disk, set once the new content is
// complete: first the copy of the old content cannot be made, then the
// rewrite stops half way and the old content is put back.
TEST_F(AtomicFile, AFailedRewriteInPlaceLeavesTheOldContent) {
  const std::string photo = Path("photo.jpg"), other = Path("same.jpg");
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  const std::string small(6000, 's'), large(10000, 'l');
  struct TCase {
    const std::string& before;
    const std::string& after;
  };
  for (const TCase& c : {TCase{large, small}, TCase{small, large}}) {
    WriteText("photo.jpg", c.before);
    ASSERT_EQ(::link(photo.c_str(), other.c_str()), 0);
    TAtomicFile file(photo);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.Write(Bytes(c.after)));
    struct rlimit limit = old;
    limit.rlim_cur = 8000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool ok = file.Commit();
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(ok);
    EXPECT_EQ(file.Error(), EFBIG);
    EXPECT_TRUE(ReadText(photo) == c.before);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"photo.jpg", "same.jpg"}));
    fs::remove(other);
  }
  std::signal(SIGXFSZ, previous);
}

TEST_F(AtomicFile, AnotherUsersFileKeepsItsOwnerWhereItMayBeWritten) {
  if (::geteuid() != 0) GTEST_SKIP() << "writing as another user needs root";
  if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is missing";
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  WriteText("photo.jpg", "old");
  ASSERT_EQ(::chmod(Path("photo.jpg").c_str(), 0666), 0);
  // The writer and its source where the other user reaches them, whatever
  // folder the build is in.
  fs::create_directory(Path("tools"));
  WriteText("tools/source", "new content");
  fs::copy_file(ATOMIC_WRITER, Path("tools/atomic_writer"));
  ASSERT_EQ(::chmod(Path("tools/atomic_writer").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(Path("tools/source").c_str(), 0644), 0);
  std::vector<std::string> args = {
      "/usr/bin/setpriv",          "--reuid=65534",   "--regid=65534",     "--clear-groups",
      Path("tools/atomic_writer"), Path("photo.jpg"), Path("tools/source")};
  const ino_t inode = Inode(Path("photo.jpg"));

  atomic_test::TWriter writer(args);
  ASSERT_TRUE(writer.Started());
  EXPECT_EQ(writer.Wait(), 0);
  EXPECT_EQ(ReadText(Path("photo.jpg")), "new content");
  struct stat info;
  ASSERT_EQ(::stat(Path("photo.jpg").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_gid, 0u);
  EXPECT_EQ(info.st_ino, inode);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"photo.jpg", "tools"}));
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
