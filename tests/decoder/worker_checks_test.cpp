// The worker's requests for the write commands, on real files: the pages of
// multi-page files, one page at its own depth with its frame placement, and
// the check of a new file, quick for a JPEG whose blocks were moved, which
// still finds a stream cut short or garbled anywhere.
#include "decoder/decoder_client.h"
#include "platform/free_bitmap.h"
#include "support/images.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>

namespace {

using decoder::TCheckResult;
using decoder::TDecoderClient;

struct TDibCloser {
  void operator()(FIBITMAP* dib) const { TFreeBitmap{dib}.Clear(); }
};

class WorkerChecksTest : public ::testing::Test {
protected:
  std::string Path(const QString& name) { return dir.File(name).toStdString(); }
  TCheckResult Check(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks = false) {
    client.StartCheck(path, format, movedBlocks);
    TCheckResult result = client.FinishCheck();
    result.decode.bitmap.Clear();
    return result;
  }
  static QByteArray Bytes(const std::string& path) { return testimg::ReadFile(QString::fromStdString(path)); }
  static void Put(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  TempFolder dir;
  TDecoderClient& client = TDecoderClient::Shared();
};

TEST_F(WorkerChecksTest, PagesAreCountedAndDecodedOneByOne) {
  // A GIF of three frames, the second smaller and placed at 3,2.
  FIMULTIBITMAP* gif = FreeImage_OpenMultiBitmap(FIF_GIF, Path("anim.gif").c_str(), TRUE, FALSE, TRUE, 0);
  ASSERT_TRUE(gif);
  for (unsigned width : {12u, 5u, 12u}) {
    const std::unique_ptr<FIBITMAP, TDibCloser> colour(testimg::Solid24(width, 6, 0x3366CC));
    std::unique_ptr<FIBITMAP, TDibCloser> frame(FreeImage_ConvertTo8Bits(colour.get()));
    if (width == 5) {
      WORD left = 3, top = 2;
      for (const auto& [key, value] : {std::pair{"FrameLeft", &left}, std::pair{"FrameTop", &top}}) {
        FITAG* tag = FreeImage_CreateTag();
        FreeImage_SetTagKey(tag, key);
        FreeImage_SetTagType(tag, FIDT_SHORT);
        FreeImage_SetTagCount(tag, 1);
        FreeImage_SetTagLength(tag, 2);
        FreeImage_SetTagValue(tag, value);
        FreeImage_SetMetadata(FIMD_ANIMATION, frame.get(), key, tag);
        FreeImage_DeleteTag(tag);
      }
    }
    FreeImage_AppendPage(gif, frame.get());
  }
  ASSERT_TRUE(FreeImage_CloseMultiBitmap(gif, 0));

  unsigned pages = 0;
  EXPECT_EQ(client.Identify(Path("anim.gif"), &pages), FIF_GIF);
  EXPECT_EQ(pages, 3u);
  decoder::TLoadResult second = client.DecodePage(Path("anim.gif"), 1, 0, &pages);
  ASSERT_EQ(second.outcome, decoder::TLoadOutcome::Decoded);
  EXPECT_EQ(FreeImage_GetWidth(second.bitmap.Dib()), 5u);
  FITAG* left = nullptr;
  ASSERT_TRUE(FreeImage_GetMetadata(FIMD_ANIMATION, second.bitmap.Dib(), "FrameLeft", &left));
  EXPECT_EQ(*static_cast<const WORD*>(FreeImage_GetTagValue(left)), 3);
  EXPECT_EQ(client.DecodePage(Path("anim.gif"), 7, 0).outcome, decoder::TLoadOutcome::Failed);

  ASSERT_TRUE(testimg::Save(testimg::Solid24(4, 4, 0x112233), FIF_PNG, dir.File(QStringLiteral("one.png"))));
  EXPECT_EQ(client.Identify(Path("one.png"), &pages), FIF_PNG);
  EXPECT_EQ(pages, 1u);
}

TEST_F(WorkerChecksTest, TheCheckOfANewFileFindsWhatItHolds) {
  // A large noisy JPEG: checked reduced, or quickly when its blocks were moved.
  std::unique_ptr<FIBITMAP, TDibCloser> noise(FreeImage_Allocate(2400, 1600, 24));
  uint32_t seed = 1;
  for (unsigned y = 0; y < 1600; ++y) {
    BYTE* line = FreeImage_GetScanLine(noise.get(), int(y));
    for (unsigned i = 0; i < 2400 * 3; ++i) line[i] = BYTE((seed = seed * 1664525 + 1013904223) >> 24);
  }
  const std::string jpg = Path("temporary");  // no extension, as a temporary file has
  ASSERT_TRUE(FreeImage_Save(FIF_JPEG, noise.get(), jpg.c_str(), 90));
  const QByteArray good = Bytes(jpg);
  for (bool moved : {false, true}) {
    const TCheckResult result = Check(jpg, FIF_JPEG, moved);
    EXPECT_TRUE(result.decoded) << moved;
    EXPECT_FALSE(result.warned) << moved;
    EXPECT_EQ(result.contentFormat, FIF_JPEG);
    EXPECT_EQ(result.width, 2400u);
    EXPECT_EQ(result.height, 1600u);
    EXPECT_EQ(result.pages, 1u);
  }
  // Cut short by its last bytes, or with a marker that has no place in the
  // coded data near its end: both checks see it.
  QByteArray cut = good;
  cut.chop(2);
  QByteArray garbled = good;
  garbled[garbled.size() - 100] = char(0xFF);
  garbled[garbled.size() - 99] = char(0x12);
  for (const QByteArray& damaged : {cut, garbled}) {
    Put(jpg, damaged);
    for (bool moved : {false, true}) {
      const TCheckResult result = Check(jpg, FIF_JPEG, moved);
      EXPECT_TRUE(!result.decoded || result.warned) << moved << " " << damaged.size();
    }
  }

  // A PNG written under the JPEG's name is told by its content.
  ASSERT_TRUE(testimg::Save(testimg::Solid24(6, 4, 0x445566), FIF_PNG, QString::fromStdString(jpg)));
  TCheckResult png = Check(jpg, FIF_PNG);
  EXPECT_TRUE(png.decoded);
  EXPECT_EQ(png.contentFormat, FIF_PNG);
  EXPECT_EQ(png.width, 6u);
  png = Check(jpg, FIF_JPEG);
  EXPECT_FALSE(png.decoded && png.contentFormat == FIF_JPEG);
}

}  // namespace
