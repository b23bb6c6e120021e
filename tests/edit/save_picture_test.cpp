// The save routine on real files: the extension decides the format, formats
// and depths FreeImage cannot write are refused with the reason, and every
// failure leaves the target byte-identical with no temporary file behind.
#include "edit/save_picture.h"
#include "edit/rescale_picture.h"
#include "edit_test_support.h"
#include "platform/free_bitmap.h"
#include "support/scratch_mount.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class SavePicture : public TTestFolder, public testing::Test {
protected:
  TDib picture = Pattern(64, 48);
};

FREE_IMAGE_FORMAT ContentFormat(const std::string& path) { return FreeImage_GetFileType(path.c_str(), 0); }

TEST_F(SavePicture, TheExtensionDecidesTheFormatWithDefaultFlags) {
  // A PNG named .jpg becomes a JPEG, byte for byte what FreeImage writes with
  // flags 0; a JPEG saved under .png becomes a PNG.
  const std::string jpg = Write("photo.jpg", EncodeWithFreeImage(picture.get(), FIF_PNG));
  ASSERT_EQ(ContentFormat(jpg), FIF_PNG);
  const TSaveResult result = ::SavePicture(picture.get(), jpg);
  ASSERT_TRUE(result.Ok()) << SaveFailureText(result);
  EXPECT_EQ(ReadFile(jpg), EncodeWithFreeImage(picture.get(), FIF_JPEG, 0));

  const std::string png = Path("copy.png");
  ASSERT_TRUE(::SavePicture(picture.get(), png).Ok());
  EXPECT_EQ(ContentFormat(png), FIF_PNG);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"copy.png", "photo.jpg"}));
}

TEST_F(SavePicture, RefusesWhatTheFormatCannotHoldAndSaysWhy) {
  const TBytes original = EncodeWithFreeImage(picture.get(), FIF_JPEG);
  const std::string jpg = Write("photo.jpg", original);

  TDib rgba(FreeImage_ConvertTo32Bits(picture.get()));
  // FreeImage claims 32 bits for JPEG, but its encoder refuses them.
  TSaveResult result = ::SavePicture(rgba.get(), jpg);
  EXPECT_EQ(result.Failure, TSaveFailure::EncoderFailed);
  EXPECT_EQ(SaveFailureText(result), "the JPEG encoder could not write 32 bits per pixel");

  // FreeImage reads Kodak PhotoCD but cannot write it.
  const std::string pcd = Write("scan.pcd", original);
  result = ::SavePicture(picture.get(), pcd);
  EXPECT_EQ(result.Failure, TSaveFailure::FormatNotWritable);
  EXPECT_EQ(SaveFailureText(result), "PCD files cannot be written");

  // Other pixel types are asked about by type: 16-bit grey fits PNG, not BMP.
  TDib grey16(FreeImage_ConvertToType(picture.get(), FIT_UINT16));
  ASSERT_TRUE(grey16);
  EXPECT_TRUE(::SavePicture(grey16.get(), Path("deep.png")).Ok());
  result = ::SavePicture(grey16.get(), Path("deep.bmp"));
  EXPECT_EQ(result.Failure, TSaveFailure::CannotHoldPicture);
  EXPECT_EQ(SaveFailureText(result), "BMP cannot hold 16-bit grey pixels");

  // FreeImage's PSD encoder claims 1-bit pictures and then writes past its
  // buffer: such a save must never reach it.
  TDib mono(FreeImage_Threshold(picture.get(), 128));
  ASSERT_EQ(FreeImage_GetBPP(mono.get()), 1u);
  result = ::SavePicture(mono.get(), Path("mono.psd"));
  EXPECT_EQ(result.Failure, TSaveFailure::CannotHoldPicture);
  EXPECT_EQ(SaveFailureText(result), "PSD cannot hold 1 bit per pixel");

  for (const char* name : {"notes.xyz", "noextension"})
    EXPECT_EQ(::SavePicture(picture.get(), Path(name)).Failure, TSaveFailure::UnknownFormat) << name;
  EXPECT_EQ(::SavePicture(nullptr, jpg).Failure, TSaveFailure::NoPicture);

  EXPECT_EQ(ReadFile(jpg), original);
  EXPECT_EQ(ReadFile(pcd), original);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"deep.png", "photo.jpg", "scan.pcd"}));
}

TEST_F(SavePicture, AMissingFolderOrAFolderInTheWayIsReported) {
  EXPECT_EQ(::SavePicture(picture.get(), Path("gone/photo.png")).Failure, TSaveFailure::FolderMissing);
  ASSERT_EQ(mkdir(Path("album.png").c_str(), 0755), 0);
  const TSaveResult result = ::SavePicture(picture.get(), Path("album.png"));
  EXPECT_EQ(result.Failure, TSaveFailure::NotAFile);
  EXPECT_EQ(Entries(), std::vector<std::string>{"album.png"});
}

TEST_F(SavePicture, AWriteProtectedFileStaysAsItIs) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const TBytes original = EncodeWithFreeImage(picture.get(), FIF_PNG);
  const std::string png = Write("photo.png", original);
  ASSERT_EQ(chmod(png.c_str(), 0444), 0);
  const TSaveResult result = ::SavePicture(Pattern(8, 8).get(), png);
  EXPECT_EQ(result.Failure, TSaveFailure::WriteProtected);
  EXPECT_EQ(SaveFailureText(result), "the file is write-protected");
  EXPECT_EQ(ReadFile(png), original);
}

TEST_F(SavePicture, AFullDiskLeavesTheOriginalAndNoTemporaryFile) {
  TScratchMount disk(QStringLiteral("512k"));
  SKIP_UNLESS_MOUNTED(disk);
  // An uncompressed 300 KB original, then a filler that leaves too little
  // room for a second copy of it.
  const TBytes original = EncodeWithFreeImage(Pattern(320, 320).get(), FIF_BMP);
  const std::string bmp = disk.File("photo.bmp").toStdString();
  WriteFile(bmp, original);
  WriteFile(disk.File("filler").toStdString(), TBytes(150 << 10, 0x55));

  const TSaveResult result = ::SavePicture(Pattern(320, 320).get(), bmp);
  EXPECT_EQ(result.Failure, TSaveFailure::DiskFull);
  EXPECT_EQ(SaveFailureText(result), "the disk is full");
  EXPECT_EQ(ReadFile(bmp), original);
  EXPECT_EQ(disk.Entries(), (QStringList{QStringLiteral("filler"), QStringLiteral("photo.bmp")}));
}

TEST_F(SavePicture, AReadOnlyFolderLeavesTheOriginal) {
  TScratchMount disk;
  SKIP_UNLESS_MOUNTED(disk);
  const TBytes original = EncodeWithFreeImage(picture.get(), FIF_JPEG);
  const std::string jpg = disk.File("photo.jpg").toStdString();
  WriteFile(jpg, original);
  ASSERT_TRUE(disk.MakeReadOnly());

  for (const std::string& target : {jpg, disk.File("new.jpg").toStdString()}) {
    const TSaveResult result = ::SavePicture(picture.get(), target);
    EXPECT_EQ(result.Failure, TSaveFailure::FolderReadOnly) << target;
    EXPECT_EQ(SaveFailureText(result), "the folder is read-only");
  }
  EXPECT_EQ(ReadFile(jpg), original);
  EXPECT_EQ(disk.Entries(), QStringList{QStringLiteral("photo.jpg")});
}

TEST_F(SavePicture, APictureTurnedUprightOnLoadingIsSavedWithOrientationOne) {
  // FreeImage writes the orientation it read back into the file; the saved
  // pixels are already upright, so the tag must say so.
  const std::string jpg = Write(
      "portrait.jpg", InsertAfterSoi(EncodeWithFreeImage(Pattern(64, 48).get(), FIF_JPEG),
                                     Segment(0xE1, Concat({Text(std::string("Exif\0\0", 6)),
                                                           TBytes{0x49, 0x49, 0x2A, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0,
                                                                  1,    0,    0,    0, 6, 0, 0, 0, 0, 0, 0,    0}}))));
  TDib upright = DecodeFile(jpg, JPEG_EXIFROTATE);
  ASSERT_EQ(FreeImage_GetWidth(upright.get()), 48u);

  ASSERT_TRUE(::SavePicture(upright.get(), Path("as-is.jpg")).Ok());
  EXPECT_EQ(ExifOrientation(ReadFile(Path("as-is.jpg"))), 6);  // FreeImage's own behaviour

  ASSERT_TRUE(::SavePicture(upright.get(), jpg, true).Ok());
  EXPECT_EQ(ExifOrientation(ReadFile(jpg)), 1);
  EXPECT_LT(MeanDifference(DecodeFile(jpg, JPEG_EXIFROTATE).get(), upright.get()), 3.0);
}

TEST(RescalePicture, GreysLowDepthsFirstAndKeepsThePictureWhenRefused) {
  FIBITMAP* dib = FreeImage_Threshold(Pattern(40, 30).get(), 128);
  ASSERT_EQ(FreeImage_GetBPP(dib), 1u);
  EXPECT_TRUE(RescalePicture(dib, 32, 32, 3));
  EXPECT_EQ(FreeImage_GetBPP(dib), 8u);
  EXPECT_EQ(FreeImage_GetColorType(dib), FIC_MINISBLACK);
  EXPECT_EQ(FreeImage_GetWidth(dib), 32u);

  FIBITMAP* before = dib;
  EXPECT_FALSE(RescalePicture(dib, 0, 32, 0));
  EXPECT_EQ(dib, before);  // null from FreeImage leaves the image
  TFreeBitmap{dib}.Clear();

  // A stored filter outside 0 to 5 is the box filter.
  FIBITMAP* a = FreeImage_Clone(Pattern(40, 30).get());
  FIBITMAP* b = FreeImage_Clone(a);
  ASSERT_TRUE(RescalePicture(a, 13, 7, -1));
  ASSERT_TRUE(RescalePicture(b, 13, 7, FILTER_BOX));
  EXPECT_EQ(MeanDifference(a, b), 0.0);
  TFreeBitmap{a}.Clear();
  TFreeBitmap{b}.Clear();

  FIBITMAP* none = nullptr;
  EXPECT_FALSE(RescalePicture(none, 32, 32, 0));
}

}  // namespace
