// Rotate and flip below the window: the layouts FreeImage and TurboJPEG
// produce must be the ones the transform table names, and the lossless path
// must keep the compressed data and every metadata segment.
#include "edit/orient_picture.h"
#include "edit/exif/exif_data.h"
#include "edit/lossless_jpeg.h"
#include "edit/rescale_picture.h"
#include "edit_test_support.h"

#include <gtest/gtest.h>

namespace {

class OrientPicture : public TTestFolder, public testing::Test {
protected:
  // Decodes path as the viewer would, turns it by command and writes it.
  TOrientedResult Run(const std::string& path, TOrientCommand command, bool exifRotation = true) {
    return OrientFile(path, command, exifRotation);
  }
};

TBytes WithExif(const TBytes& jpeg, TExifData& exif) { return exif.SaveToBytes(jpeg); }

TEST_F(OrientPicture, FreeImageAndTurboJpegLayOutPicturesAsTheTableSays) {
  const TDib pattern = Pattern(64, 48);
  const TBytes jpeg = EncodeWithFreeImage(pattern.get(), FIF_JPEG, JPEG_QUALITYSUPERB);
  const TDib stored = DecodeBytes(jpeg);
  for (int orientation = 1; orientation <= 8; ++orientation) {
    TExifData exif;
    exif.General().SetOrientation(TTiffOrientation(orientation));
    const TDib shown = DecodeBytes(WithExif(jpeg, exif), JPEG_EXIFROTATE);
    EXPECT_EQ(MeanDifference(shown.get(), Transformed(stored.get(), ExifRotationTransform(orientation)).get()), 0.0)
        << "JPEG_EXIFROTATE with orientation " << orientation;
  }
  for (int t = ptIdentity; t <= ptRotate270; ++t) {
    TLosslessJpeg lossless;
    ASSERT_TRUE(lossless.Transform(jpeg, TPictureTransform(t))) << lossless.Error();
    const TDib moved = DecodeBytes(TBytes(lossless.Bytes().begin(), lossless.Bytes().end()));
    EXPECT_LT(MeanDifference(moved.get(), Transformed(stored.get(), TPictureTransform(t)).get()), 1.0)
        << "TurboJPEG transform " << t;
  }
}

// Every command makes a new bitmap and leaves the working image as it was:
// a refused write must not leave the screen's picture mirrored.
TEST_F(OrientPicture, TransformPictureLeavesItsSourceAsItWas) {
  const TDib pattern = Pattern(64, 48);
  const TDib before(FreeImage_Clone(pattern.get()));
  const std::pair<TOrientCommand, TPictureTransform> cases[] = {{ocRotateLeft, ptRotate270},
                                                                {ocRotateRight, ptRotate90},
                                                                {ocFlipHorizontal, ptFlipHorizontal},
                                                                {ocFlipVertical, ptFlipVertical}};
  for (const auto& [command, transform] : cases) {
    const TFreeBitmap result = TransformPicture(pattern.get(), command);
    ASSERT_TRUE(result) << command;
    EXPECT_NE(result.Dib(), pattern.get()) << command;
    EXPECT_EQ(MeanDifference(result.Dib(), Transformed(before.get(), transform).get()), 0.0) << command;
    EXPECT_EQ(MeanDifference(pattern.get(), before.get()), 0.0) << command;
  }
  EXPECT_FALSE(TransformPicture(nullptr, ocFlipVertical));
}

TEST_F(OrientPicture, LosslessRotationKeepsEverySegmentAndSetsTheNewSize) {
  TExifData exif;
  exif.General().SetTag(TExifTag::MakeBytes(0x010F, tdAscii, reinterpret_cast<const uint8_t*>("Maker"), 6));
  exif.General().SetOrientation(toTopLeft);
  exif[esDetails].SetTag(TExifTag::MakeLong(0xA002, 64));
  exif[esDetails].SetTag(TExifTag::MakeShort(0xA003, 48));
  const TBytes extra = Concat({Segment(0xE2, Concat({Text(std::string("ICC_PROFILE\0", 12)), TBytes(200, 7)})),
                               Segment(0xED, Text("Photoshop 3.0")), Segment(0xFE, Text("a comment"))});
  const std::string path =
      Write("photo.jpg", InsertAfterSoi(WithExif(EncodeWithFreeImage(Pattern(64, 48).get(), FIF_JPEG), exif), extra));

  const TOrientedResult result = Run(path, ocRotateRight);
  ASSERT_TRUE(result.save.Ok()) << SaveFailureText(result.save);
  EXPECT_TRUE(result.lossless);
  const TBytes out = ReadFile(path);
  EXPECT_TRUE(HasSegment(out, 0xE0, "JFIF"));
  EXPECT_TRUE(HasSegment(out, 0xE2, "ICC_PROFILE"));
  EXPECT_TRUE(HasSegment(out, 0xED, "Photoshop 3.0"));
  EXPECT_TRUE(HasSegment(out, 0xFE, "a comment"));
  TExifData read;
  read.LoadFromBytes(out);
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
  EXPECT_EQ(read.General().Find(0x010F)->Data[0], 'M');
  EXPECT_EQ(read[esDetails].Find(0xA002)->ElementAsUInt(0), 48u);
  EXPECT_EQ(read[esDetails].Find(0xA003)->ElementAsUInt(0), 64u);
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.jpg"});
}

TEST_F(OrientPicture, FourQuarterTurnsGiveBackTheCompressedData) {
  const TDib pattern = Pattern(96, 64);
  for (int flags : {JPEG_DEFAULT, JPEG_PROGRESSIVE, JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_422}) {
    const TBytes original = EncodeWithFreeImage(pattern.get(), FIF_JPEG, flags);
    const std::string path = Write("turns.jpg", original);
    for (TOrientCommand command : {ocRotateRight, ocRotateRight, ocRotateLeft, ocRotateLeft, ocFlipVertical,
                                   ocFlipHorizontal, ocFlipVertical, ocFlipHorizontal}) {
      const TOrientedResult result = Run(path, command);
      ASSERT_TRUE(result.save.Ok() && result.lossless) << "flags " << flags;
    }
    // Two turns right and back left, two flips each way: the same blocks.
    EXPECT_EQ(ScanData(ReadFile(path)), ScanData(original)) << "flags " << flags;
  }
}

TEST_F(OrientPicture, PartialBlocksOrDamagedDataAreReEncodedInstead) {
  // 70 x 50 in 4:2:0 leaves partial 16-pixel blocks at both edges.
  const TDib pattern = Pattern(70, 50);
  const std::string odd = Write("odd.jpg", EncodeWithFreeImage(pattern.get(), FIF_JPEG, JPEG_QUALITYSUPERB));
  TLosslessJpeg lossless;
  EXPECT_FALSE(lossless.Transform(ReadFile(odd), ptRotate90));

  // A stray restart marker in the scan: libjpeg warns and goes on.
  TBytes damaged = EncodeWithFreeImage(Pattern(64, 48).get(), FIF_JPEG);
  const size_t middle = (ScanOffset(damaged) + damaged.size()) / 2;
  damaged[middle] = 0xFF;
  damaged[middle + 1] = 0xD5;
  const std::string cut = Write("cut.jpg", damaged);

  for (const std::string& path : {odd, cut}) {
    const TDib before = DecodeFile(path);
    const TOrientedResult result = Run(path, ocRotateRight);
    ASSERT_TRUE(result.save.Ok()) << path << ": " << SaveFailureText(result.save);
    EXPECT_FALSE(result.lossless) << path;
    EXPECT_LT(MeanDifference(DecodeFile(path).get(), Transformed(before.get(), ptRotate90).get()), 6.0) << path;
  }
}

TEST_F(OrientPicture, TheOrientationStepLeavesOtherFormatsAlone) {
  const TBytes png = EncodeWithFreeImage(Pattern(8, 8).get(), FIF_PNG);
  EXPECT_EQ(ApplyOrientationReset(png, ocRotateLeft, ptRotate270).Join(), png);
}

}  // namespace

namespace {

class KeepIccProfileTest : public TTestFolder, public testing::Test {
protected:
  static TBytes Profile() {
    TBytes bytes(600);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + 3);
    return bytes;
  }
  static TDib WithProfile(int width, int height) {
    TDib dib = Pattern(width, height);
    TBytes profile = Profile();
    FreeImage_CreateICCProfile(dib.get(), profile.data(), long(profile.size()));
    return dib;
  }
  static TBytes ProfileOf(FIBITMAP* dib) {
    const FIICCPROFILE* p = dib ? FreeImage_GetICCProfile(dib) : nullptr;
    if (!p || !p->data) return {};
    const auto* data = static_cast<const uint8_t*>(p->data);
    return TBytes(data, data + p->size);
  }
};

// FreeImage's rotation and rescaling drop the profile; a picture saved from
// them would silently change its colours in every colour-managed program.
TEST_F(KeepIccProfileTest, TurnedAndRescaledPicturesKeepTheirColourProfile) {
  TDib source = WithProfile(64, 48);
  const TFreeBitmap turned = TransformPicture(source.get(), ocRotateLeft);
  EXPECT_EQ(ProfileOf(turned.Dib()), Profile());

  FIBITMAP* rescaled = WithProfile(64, 48).release();
  ASSERT_TRUE(RescalePicture(rescaled, 32, 24, 0));
  const TDib rescaledOwned(rescaled);
  EXPECT_EQ(ProfileOf(rescaled), Profile());

  // A rotation that must be re-encoded writes the profile into the file.
  const TBytes jpeg = EncodeWithFreeImage(source.get(), FIF_JPEG);
  const std::string path = Write("profiled.jpg", jpeg);
  TDib picture = DecodeFile(path);
  ASSERT_EQ(ProfileOf(picture.get()), Profile());
  const TOrientedResult result = OrientFile(path, ocRotateRight, false, picture.get());
  ASSERT_TRUE(result.save.Ok()) << SaveFailureText(result.save);
  EXPECT_FALSE(result.lossless);
  EXPECT_EQ(ProfileOf(DecodeFile(path).get()), Profile());
}

}  // namespace
