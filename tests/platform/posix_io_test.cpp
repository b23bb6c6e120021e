// The POSIX helpers every other folder goes through: what a path is, and
// reads and writes at an offset that stop only at the end of the file.
#include "platform/posix_io.h"
#include "atomic_test_support.h"
#include "platform/file_descriptor.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using PosixIo = atomic_test::FolderTest;

TEST_F(PosixIo, KindsOfPathsAreToldApartAndLinksAreFollowed) {
  WriteText("photo.jpg", "12345");
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("photo.jpg", Path("link.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("gone.jpg", Path("dangling.jpg").c_str()), 0);

  const TFileStatus photo = StatusOfPath(Path("photo.jpg"));
  EXPECT_EQ(photo.kind, TFileKind::Regular);
  EXPECT_EQ(photo.size, 5);
  const TFileStatus link = StatusOfPath(Path("link.jpg"));
  EXPECT_EQ(link.kind, TFileKind::Regular);
  EXPECT_EQ(link.inode, photo.inode);
  EXPECT_EQ(StatusOfPath(folder).kind, TFileKind::Folder);
  EXPECT_EQ(StatusOfPath(Path("pipe")).kind, TFileKind::Other);
  EXPECT_FALSE(IsRegularFile(Path("pipe")));
  for (const char* missing : {"gone.jpg", "dangling.jpg"}) {
    const TFileStatus status = StatusOfPath(Path(missing));
    EXPECT_EQ(status.kind, TFileKind::Missing) << missing;
    EXPECT_EQ(status.error, ENOENT) << missing;
  }
  EXPECT_EQ(StatusOfPath(Path("photo.jpg/inside")).error, ENOTDIR);

  // Opening a fifo for reading never waits for a writer.
  const TFileDescriptor pipe(OpenForReading(Path("pipe")));
  ASSERT_TRUE(pipe.Valid());
  EXPECT_EQ(StatusOfDescriptor(pipe.Get()).kind, TFileKind::Other);

  EXPECT_EQ(ResolvedPath(Path("link.jpg")), ResolvedPath(Path("photo.jpg")));
  EXPECT_EQ(ResolvedPath(Path("gone.jpg")), Path("gone.jpg"));
}

TEST_F(PosixIo, ReadsAndWritesAtAnOffsetGoToTheEndOfTheFileAndNoFurther) {
  WriteText("data", "0123456789");
  const TFileDescriptor fd(OpenForReading(Path("data"), true));
  ASSERT_TRUE(fd.Valid());
  EXPECT_EQ(WriteAt(fd.Get(), "abc", 3, 4), 0);
  char buffer[16] = {};
  EXPECT_EQ(ReadAt(fd.Get(), buffer, sizeof buffer, 2), 8);  // short only at the end
  EXPECT_EQ(std::string(buffer, 8), "23abc789");
  EXPECT_TRUE(ReadAllAt(fd.Get(), buffer, 3, 7));
  EXPECT_FALSE(ReadAllAt(fd.Get(), buffer, 4, 7));
  EXPECT_EQ(ReadSome(fd.Get(), buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");

  const TFileDescriptor readOnly(OpenForReading(Path("data")));
  EXPECT_NE(WriteAt(readOnly.Get(), "x", 1, 0), 0);
  EXPECT_EQ(ReadAt(-1, buffer, 1, 0), -1);
}

}  // namespace
