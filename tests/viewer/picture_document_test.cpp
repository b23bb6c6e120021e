// The document's commands on a bitmap, with a decoder that answers at once
// and no worker.
#include "viewer/picture_document.h"

#include "support/images.h"

#include <gtest/gtest.h>

namespace {

// Answers every load with a copy of `picture`, or with `outcome` when that
// is not Decoded.
class TFakeDecoder : public TPictureDecoder {
public:
  ~TFakeDecoder() override { Set(nullptr); }
  void Set(FIBITMAP* dib) {
    if (picture) FreeImage_Unload(picture);
    picture = dib;
  }
  void StartLoad(const std::string& path, int, unsigned) override {
    ++loads;
    lastPath = path;
  }
  bool WaitLoad(int, bool) override { return true; }
  decoder::TLoadResult TakeLoad() override {
    decoder::TLoadResult result;
    result.outcome = outcome;
    result.problem = problem;
    if (outcome == decoder::TLoadOutcome::Decoded) {
      result.problem = decoder::TLoadProblem::None;
      result.fif = FIF_PNG;
      result.bitmap = TFreeBitmap(FreeImage_Clone(picture));
    }
    return result;
  }
  bool TakePreview(decoder::TLoadResult&, unsigned&, unsigned&) override { return false; }

  FIBITMAP* picture = nullptr;
  decoder::TLoadOutcome outcome = decoder::TLoadOutcome::Decoded;
  decoder::TLoadProblem problem = decoder::TLoadProblem::None;
  int loads = 0;
  std::string lastPath;
};

std::uint32_t Pixel(const TFreeBitmap& bitmap, unsigned x, unsigned y) {
  RGBQUAD c{};
  FreeImage_GetPixelColor(bitmap.Dib(), x, y, &c);
  return std::uint32_t(c.rgbRed) << 16 | std::uint32_t(c.rgbGreen) << 8 | c.rgbBlue;
}

struct PictureDocumentTest : ::testing::Test {
  void SetUp() override {
    decoder.Set(testimg::Solid24(400, 200, 0x406080));
    document.Load(path, false);
    ASSERT_TRUE(document.Bitmap.IsValid());
  }
  const QString path = QStringLiteral("/photos/a.png");
  TFakeDecoder decoder;
  TPictureDocument document{decoder};
  TToneState tone;
};

TEST_F(PictureDocumentTest, AToneStepStartsFromTheFileAndMarksThePictureEdited) {
  const TCommandResult up = document.ToneStep(path, tone, tvGamma, tdUp);
  EXPECT_TRUE(up.done);
  EXPECT_TRUE(up.repaint);
  EXPECT_EQ(up.message, ToneStepMessage(tvGamma, tdUp, tone.fGamma));
  EXPECT_EQ(decoder.loads, 2);
  EXPECT_EQ(decoder.lastPath, "/photos/a.png");
  EXPECT_GT(tone.fGamma, 1.0);
  EXPECT_TRUE(document.bWorkingImageEdited);
  const std::uint32_t brighter = Pixel(document.Bitmap, 10, 10);
  EXPECT_NE(brighter, 0x406080u);
  // A second step starts from the file again, not from the stepped picture.
  document.ToneStep(path, tone, tvGamma, tdDown);
  EXPECT_EQ(tone.fGamma, 1.0);
  EXPECT_EQ(Pixel(document.Bitmap, 10, 10), 0x406080u);
  EXPECT_FALSE(document.bWorkingImageEdited);
}

TEST_F(PictureDocumentTest, AToneStepOnAFileThatIsNoPictureAnyMoreChangesNothing) {
  document.ToneStep(path, tone, tvBrightness, tdUp);
  const double brightness = tone.fBrightness;
  const std::uint32_t shown = Pixel(document.Bitmap, 10, 10);
  decoder.outcome = decoder::TLoadOutcome::UnknownFormat;
  const TCommandResult result = document.ToneStep(path, tone, tvBrightness, tdUp);
  EXPECT_FALSE(result.done);
  EXPECT_EQ(result.message, QStringLiteral("Brightness was not changed: the file could not be read"));
  EXPECT_EQ(result.messageMs, FailureMs);
  EXPECT_EQ(tone.fBrightness, brightness);
  EXPECT_EQ(Pixel(document.Bitmap, 10, 10), shown);
  EXPECT_TRUE(document.bWorkingImageEdited);  // the previous picture still holds the earlier step
}

TEST_F(PictureDocumentTest, AToneStepAtItsLimitBeepsWithoutLoading) {
  tone.fContrast = ToneRange(tvContrast).upper;
  const TCommandResult result = document.ToneStep(path, tone, tvContrast, tdUp);
  EXPECT_TRUE(result.beep);
  EXPECT_FALSE(result.done);
  EXPECT_EQ(result.message, ToneLimitMessage(tvContrast, tone.fContrast));
  EXPECT_EQ(decoder.loads, 1);
}

TEST_F(PictureDocumentTest, ResizeToAHeightKeepsTheProportionsOrSaysWhyNot) {
  const TCommandResult resized = document.ResizeToHeight(path, 720, 0);
  EXPECT_TRUE(resized.done);
  EXPECT_EQ(resized.message, QStringLiteral("Resized to 720 height"));
  EXPECT_EQ(document.Bitmap.Width(), 1440u);
  EXPECT_EQ(document.Bitmap.Height(), 720u);
  EXPECT_TRUE(document.bWorkingImageEdited);

  const TCommandResult empty = document.ResizeWorkingImage(0, 5, 0);
  EXPECT_FALSE(empty.done);
  EXPECT_EQ(empty.message, QStringLiteral("The picture could not be resized to 0 x 5"));
  EXPECT_EQ(document.Bitmap.Height(), 720u);

  // A file that is no picture any more leaves the previous one, not to be resized.
  decoder.outcome = decoder::TLoadOutcome::UnknownFormat;
  const TCommandResult unread = document.ResizeToHeight(path, 1080, 0);
  EXPECT_FALSE(unread.done);
  EXPECT_EQ(unread.message, QStringLiteral("The picture could not be resized: the file could not be read"));
  EXPECT_EQ(document.Bitmap.Height(), 720u);
}

TEST_F(PictureDocumentTest, GreyScaleMarksAColourPictureEditedButNotAGreyOne) {
  document.ConvertToGrayScale();
  EXPECT_EQ(document.Bitmap.BPP(), 8u);
  EXPECT_TRUE(document.bWorkingImageEdited);
  decoder.Set(FreeImage_ConvertToGreyscale(decoder.picture));
  document.Load(path, false);
  EXPECT_TRUE(document.ConvertToGrayScale().repaint);
  EXPECT_FALSE(document.bWorkingImageEdited);
}

TEST_F(PictureDocumentTest, AFailedLoadNamesTheFileAndTurnsAreRefusedWithoutTouchingIt) {
  decoder.outcome = decoder::TLoadOutcome::Failed;
  decoder.problem = decoder::TLoadProblem::Missing;
  document.Load(path, false);
  EXPECT_FALSE(document.Bitmap.IsValid());
  EXPECT_EQ(document.LoadProblem, QStringLiteral("Cannot open a.png: the file does not exist"));
  EXPECT_EQ(document.Orient(path, ocRotateLeft, false).message, QStringLiteral("The picture could not be rotated"));

  // No readable format: the previous picture stays, but is not the file's to write.
  decoder.outcome = decoder::TLoadOutcome::Decoded;
  document.Load(path, false);
  decoder.outcome = decoder::TLoadOutcome::UnknownFormat;
  document.Load(path, false);
  ASSERT_TRUE(document.Bitmap.IsValid());
  EXPECT_FALSE(document.bLastLoadReadFile);
  const TCommandResult flip = document.Orient(path, ocFlipVertical, false);
  EXPECT_FALSE(flip.done);
  EXPECT_EQ(flip.message, QStringLiteral("The picture could not be flipped: the file could not be read"));
  EXPECT_EQ(document.Bitmap.Width(), 400u);
}

}  // namespace
