// Kept decodes answer a load only while the file is the same version, stay
// untouched by edits of the working image, and stay within their bounds.
#include "decoder/decode_cache.h"
#include "decoder/decoder_client.h"
#include "platform/atomic_file.h"
#include "support/images.h"
#include "support/temp_folder.h"
#include "viewer/image_loader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using decoder::TDecodeCache;
using decoder::TDecoderClient;
using decoder::TKeptDecode;

class KeptDecodesTest : public ::testing::Test {
protected:
  QString Png(const QString& name, unsigned width, std::uint32_t rgb) {
    const QString path = dir.File(name);
    EXPECT_TRUE(testimg::Save(testimg::Solid24(width, 5, rgb), FIF_PNG, path));
    return path;
  }
  // Loads path; returns how many decodes that took.
  int Load(const QString& path, TFreeBitmap& bitmap) {
    const auto before = client.DecodesSent();
    EXPECT_TRUE(LoadImageFile(bitmap, path, true));
    return static_cast<int>(client.DecodesSent() - before);
  }
  static void SetMtime(const QString& path, long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.toUtf8().constData(), times, 0), 0);
  }
  static RGBQUAD Pixel(const TFreeBitmap& bitmap) {
    RGBQUAD c{};
    FreeImage_GetPixelColor(bitmap.Dib(), 0, 0, &c);
    return c;
  }

  TempFolder dir;
  TDecoderClient& client = TDecoderClient::Shared();
};

TEST_F(KeptDecodesTest, AnUnchangedFileIsTakenFromTheKeptDecode) {
  const QString a = Png("a.png", 7, 0x112233);
  const QString b = Png("b.png", 8, 0x445566);
  TFreeBitmap bitmap;
  EXPECT_EQ(Load(a, bitmap), 1);
  EXPECT_EQ(Load(b, bitmap), 1);
  EXPECT_EQ(Load(a, bitmap), 0);
  EXPECT_EQ(bitmap.Width(), 7u);
  // The load flags are part of the key.
  const auto before = client.DecodesSent();
  ASSERT_TRUE(LoadImageFile(bitmap, a, false));
  EXPECT_EQ(client.DecodesSent(), before + 1);
}

TEST_F(KeptDecodesTest, AFileChangedOnDiskIsDecodedAgain) {
  const QString a = Png("a.png", 7, 0x112233);
  TFreeBitmap bitmap;
  Load(a, bitmap);
  ASSERT_EQ(Load(a, bitmap), 0);

  // Another size.
  Png("a.png", 9, 0x112233);
  EXPECT_EQ(Load(a, bitmap), 1);
  EXPECT_EQ(bitmap.Width(), 9u);

  // The same bytes with another modification time.
  SetMtime(a, 1000000000);
  EXPECT_EQ(Load(a, bitmap), 1);
  SetMtime(a, 1000000001);
  EXPECT_EQ(Load(a, bitmap), 1);

  // Replaced by rename with a file of the same size and time: a new inode.
  const QString replacement = Png("new.png", 9, 0x998877);
  SetMtime(replacement, 1000000001);
  ASSERT_EQ(std::rename(replacement.toUtf8().constData(), a.toUtf8().constData()), 0);
  EXPECT_EQ(Load(a, bitmap), 1);
  EXPECT_EQ(Pixel(bitmap).rgbRed, 0x99);
}

TEST_F(KeptDecodesTest, EditsOfTheWorkingImageNeverReachTheKeptDecode) {
  const QString a = Png("a.png", 7, 0x203040);
  TFreeBitmap edited;
  Load(a, edited);
  ASSERT_TRUE(FreeImage_Invert(edited.Dib()));
  ASSERT_EQ(Pixel(edited).rgbRed, 0xFF - 0x20);
  TFreeBitmap fresh;
  ASSERT_EQ(Load(a, fresh), 0);
  EXPECT_EQ(Pixel(fresh).rgbRed, 0x20);
  EXPECT_EQ(Pixel(edited).rgbRed, 0xFF - 0x20);
}

TEST_F(KeptDecodesTest, ADecodeAheadAnswersTheNextLoad) {
  const QString a = Png("a.png", 7, 0x112233);
  const QString next = Png("next.png", 11, 0x445566);
  TFreeBitmap bitmap;
  Load(a, bitmap);
  const auto before = client.DecodesSent();
  client.DecodeAhead({DecoderPath(next)}, LoadFlags(true));
  EXPECT_EQ(client.DecodesSent(), before + 1);
  // Taken over while under way or taken from the kept decode: no new decode.
  if (client.Busy()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Load(next, bitmap), 0);
  EXPECT_EQ(bitmap.Width(), 11u);
}

TEST_F(KeptDecodesTest, ForgettingAFileDropsItsKeptDecode) {
  const QString a = Png("a.png", 7, 0x112233);
  TFreeBitmap bitmap;
  Load(a, bitmap);
  ASSERT_TRUE(client.Kept().Holds(DecoderPath(a)));
  client.Forget(DecoderPath(a));
  EXPECT_FALSE(client.Kept().Holds(DecoderPath(a)));
  EXPECT_EQ(Load(a, bitmap), 1);
}

TEST_F(KeptDecodesTest, EveryAtomicWriteOfAFileDropsItsKeptDecodeWhateverPathLedToIt) {
  const QString a = Png("a.png", 7, 0x112233);
  const QString link = dir.File("link.png");
  ASSERT_EQ(::symlink(a.toUtf8().constData(), link.toUtf8().constData()), 0);
  TFreeBitmap bitmap;
  Load(link, bitmap);
  ASSERT_TRUE(client.Kept().Holds(DecoderPath(link)));
  const QByteArray same = testimg::ReadFile(a);
  ASSERT_TRUE(
      ReplaceFileAtomically(DecoderPath(a), {reinterpret_cast<const uint8_t*>(same.constData()), size_t(same.size())}));
  EXPECT_FALSE(client.Kept().Holds(DecoderPath(link)));
}

TKeptDecode Entry(const std::string& path, std::uint64_t bytes) {
  TKeptDecode e;
  e.path = path;
  e.status = decoder::TReplyStatus::Decoded;
  e.pixelBytes = bytes;
  e.stamp.ino = std::hash<std::string>()(path);
  return e;
}

TEST(DecodeCache, KeepsTheCurrentPictureAndAtMostTwoMoreWithinItsBytes) {
  TDecodeCache cache(3, 1000);
  cache.Keep(Entry("current", 300), true);
  cache.Keep(Entry("b", 300), false);
  cache.Keep(Entry("c", 300), false);
  EXPECT_EQ(cache.Count(), 3u);
  cache.Keep(Entry("d", 300), false);  // too many: the oldest other one goes
  EXPECT_EQ(cache.Count(), 3u);
  EXPECT_TRUE(cache.Holds("current"));
  EXPECT_FALSE(cache.Holds("b"));
  EXPECT_TRUE(cache.Holds("d"));

  cache.Keep(Entry("e", 600), false);  // too many bytes
  EXPECT_LE(cache.Bytes(), 1000u);
  EXPECT_TRUE(cache.Holds("current"));
  EXPECT_TRUE(cache.Holds("e"));

  cache.Keep(Entry("huge", 1001), false);  // alone beyond the bound: not kept
  EXPECT_FALSE(cache.Holds("huge"));

  // A newer decode of the same file replaces the older.
  cache.Keep(Entry("e", 100), false);
  EXPECT_TRUE(cache.Holds("e"));
  EXPECT_EQ(cache.Bytes(), 400u);
}

TEST(DecodeCache, FindsOnlyTheSameVersionAndFlags) {
  TDecodeCache cache(3, 1000);
  TKeptDecode e = Entry("a", 10);
  e.flags = 8;
  const decoder::TFileStamp stamp = e.stamp;
  cache.Keep(std::move(e), true);
  EXPECT_NE(cache.Find("a", 8, stamp), nullptr);
  EXPECT_EQ(cache.Find("a", 0, stamp), nullptr);
  decoder::TFileStamp other = stamp;
  other.mtimeNsec += 1;
  EXPECT_EQ(cache.Find("a", 8, other), nullptr);
  cache.Forget("a");
  EXPECT_EQ(cache.Find("a", 8, stamp), nullptr);
}

}  // namespace

namespace {

TEST(DecoderPreview, ALargeJpegComesFirstReducedWithTheSizeOfTheFullDecode) {
  TempFolder dir;
  const QString plain = dir.File("large.jpg");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(2400, 1600, 0x3070B0), FIF_JPEG, plain));
  const QString turned = dir.Write("turned.jpg", testimg::WithExifOrientation(testimg::ReadFile(plain), 6));
  const QString small = dir.File("small.jpg");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(1500, 1000, 0x3070B0), FIF_JPEG, small));
  TDecoderClient& client = TDecoderClient::Shared();

  struct TCase {
    QString path;
    unsigned width, height;
  };
  for (const TCase& c : {TCase{plain, 2400, 1600}, TCase{turned, 1600, 2400}}) {
    SCOPED_TRACE(c.path.toStdString());
    client.StartLoad(DecoderPath(c.path), LoadFlags(true), 1000);
    decoder::TLoadResult preview;
    unsigned width = 0, height = 0;
    while (client.LoadPending() && !client.TakePreview(preview, width, height)) client.WaitLoad(5000, true);
    ASSERT_EQ(preview.outcome, decoder::TLoadOutcome::Decoded);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    // libjpeg halves it (2400 is 2.4 times the preview size).
    EXPECT_EQ(FreeImage_GetWidth(preview.bitmap.Dib()), c.width / 2);
    EXPECT_EQ(FreeImage_GetHeight(preview.bitmap.Dib()), c.height / 2);
    ASSERT_TRUE(client.WaitLoad(-1));
    decoder::TLoadResult full = client.TakeLoad();
    ASSERT_EQ(full.outcome, decoder::TLoadOutcome::Decoded);
    EXPECT_EQ(FreeImage_GetWidth(full.bitmap.Dib()), c.width);
    EXPECT_EQ(FreeImage_GetHeight(full.bitmap.Dib()), c.height);
  }

  // A picture that is not much larger than the preview gets none.
  client.StartLoad(DecoderPath(small), LoadFlags(true), 1000);
  ASSERT_TRUE(client.WaitLoad(-1, true));
  decoder::TLoadResult none;
  unsigned width = 0, height = 0;
  EXPECT_FALSE(client.TakePreview(none, width, height));
  decoder::TLoadResult full = client.TakeLoad();
  EXPECT_EQ(FreeImage_GetWidth(full.bitmap.Dib()), 1500u);
}

}  // namespace
