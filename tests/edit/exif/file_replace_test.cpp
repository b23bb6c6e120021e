// The file layer: atomic replacement, permissions, links, and failures that
// must leave the original untouched.
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A camera-sized JPEG: a real header and scan with 20 MB of entropy-coded
// bytes (no FF in them) before the end marker.
TBytes LargeJpeg(size_t bytes) {
  TBytes jpeg = EncodeJpeg(64, 64);
  TBytes filler(bytes);
  uint32_t noise = 1;
  for (uint8_t& b : filler) {
    noise = noise * 1664525 + 1013904223;
    b = uint8_t(noise >> 24) % 0xFF;
  }
  jpeg.insert(jpeg.end() - 2, filler.begin(), filler.end());
  return jpeg;
}

void Reset(const std::string& path, TTiffOrientation orientation) {
  TExifData exif;
  exif.LoadFromGraphic(path);
  exif.General().SetOrientation(orientation);
  exif.SaveToGraphic(path);
}

std::string ErrorOf(const std::string& path, bool save) {
  TExifData exif;
  try {
    if (save)
      exif.SaveToGraphic(path);
    else
      exif.LoadFromGraphic(path);
  } catch (const EExifError& error) {
    return error.what();
  }
  return "";
}

class FileReplace : public TTestFolder, public testing::Test {};

TEST_F(FileReplace, A20MegabyteJpegIsReplacedThroughATemporaryFileThatIsGone) {
  const TBytes source = LargeJpeg(20 << 20);
  const std::string path = Write("big.jpg", source);
  Reset(path, toTopLeft);
  const TBytes out = ReadFile(path);
  EXPECT_EQ(Entries(), std::vector<std::string>{"big.jpg"});
  ASSERT_EQ(out.size(), source.size() + 36);
  EXPECT_TRUE(std::equal(source.begin() + 20, source.end(), out.begin() + 56));
  TExifData read;
  read.LoadFromBytes(out);
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
}

TEST_F(FileReplace, KeepsPermissionsAndOwnerAndFollowsSymbolicLinks) {
  const std::string path = Write("photo.jpg", EncodeJpeg(16, 16));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 1234, 5678), 0);
  }
  const std::string link = Path("link.jpg");
  ASSERT_EQ(symlink("photo.jpg", link.c_str()), 0);

  Reset(link, toTopLeft);
  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 5678u);
  }
  TExifData read;
  read.LoadFromGraphic(path);
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.jpg", "photo.jpg"}));
}

TEST_F(FileReplace, LeavesAFileAloneWhenNothingChanges) {
  const std::string path = Write("photo.jpg", EncodeJpeg(16, 16));
  struct stat before, after;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  Reset(path, toUndefined);
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(FileReplace, OpenErrorsNameTheFileAndTheReason) {
  const std::string missing = Path("missing.jpg");
  EXPECT_EQ(ErrorOf(missing, false), "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(ErrorOf(missing, true), "Cannot open file \"" + missing + "\". No such file or directory");
  const std::string folder = Path("");
  EXPECT_EQ(ErrorOf(folder, false), "Cannot open file \"" + folder + "\". Is a directory");
  // A fifo must not block the viewer.
  const std::string fifo = Path("pipe.jpg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ErrorOf(fifo, false), "Cannot open file \"" + fifo + "\". Not a regular file");
  EXPECT_EQ(ErrorOf(fifo, true), "Cannot open file \"" + fifo + "\". Not a regular file");
}

TEST_F(FileReplace, ReadOnlyFileIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write read-only files";
  const TBytes source = EncodeJpeg(16, 16);
  const std::string path = Write("photo.jpg", source);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(ErrorOf(path, true), "Cannot open file \"" + path + "\". Permission denied");
  EXPECT_EQ(ReadFile(path), source);
}

TEST_F(FileReplace, AFailedWriteLeavesTheOriginalByteIdentical) {
  // A file size limit makes every write past it fail, as a full disk would.
  const TBytes source = LargeJpeg(1 << 20);
  const std::string path = Write("photo.jpg", source);
  TExifData exif;
  exif.LoadFromGraphic(path);
  exif.General().SetOrientation(toTopLeft);

  rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = old;
  limit.rlim_cur = 64 << 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  std::string message;
  try {
    exif.SaveToGraphic(path);
  } catch (const EFWriteError& error) {
    message = error.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(message, "Cannot write file \"" + path + "\". File too large");
  EXPECT_EQ(ReadFile(path), source);
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.jpg"});
}

}  // namespace
