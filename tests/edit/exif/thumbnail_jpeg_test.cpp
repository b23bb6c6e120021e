// The thumbnail re-encoder: an encoder error after the output has grown past
// its first buffer returns nothing (and, under the sanitizers, frees nothing
// twice and leaks nothing); a thumbnail turned with the picture stays within
// the limit and IFD1 describes it.
#include "edit/exif/thumbnail_jpeg.h"
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

#include <jpeglib.h>

namespace {

bool Dimensions(const TBytes& jpeg, unsigned& width, unsigned& height) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
  const bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
  width = cinfo.image_width;
  height = cinfo.image_height;
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

TEST(ThumbnailJpeg, AnOutputLimitReachedMidwayGivesNothing) {
  // Noise compresses badly: well over 4 KB of output after a few rows.
  const TBytes noisy = EncodeJpeg(600, 400, 100);
  for (size_t limit : {size_t(5000), size_t(9000), size_t(20000)}) {
    EXPECT_TRUE(ReencodeJpeg(noisy, 600, 400, 95, limit).empty()) << limit;
  }
  const TBytes whole = ReencodeJpeg(noisy, 600, 400, 95);
  ASSERT_GT(whole.size(), 20000u);
  EXPECT_EQ(ReencodeJpeg(noisy, 600, 400, 95, whole.size()), whole);
  unsigned width = 0, height = 0;
  ASSERT_TRUE(Dimensions(whole, width, height));
  EXPECT_EQ(width, 600u);
  EXPECT_EQ(height, 400u);
}

TEST(ThumbnailJpeg, AThumbnailReducedToTheBoxGetsItsNewSizeInIfd1TurnedOrNot) {
  // Noise at 1000 x 800 does not fit the limit, not even at quality 90: on
  // writing it becomes 150 x 120; turned with the picture, it is reduced
  // before the turn, giving 120 x 150.
  const TBytes noisy = EncodeJpeg(1000, 800, 100);
  ASSERT_TRUE(ReencodeJpeg(noisy, 1000, 800, ThumbnailQuality, MaxThumbnailSize).empty());
  for (bool turned : {false, true}) {
    TExifData exif;
    exif.General().SetOrientation(toTopLeft);
    exif.SetThumbnail(noisy);
    exif[esThumbnail].SetTag(TExifTag::MakeShort(0x0100, 1000));
    exif[esThumbnail].SetTag(TExifTag::MakeShort(0x0101, 800));
    exif[esThumbnail].SetTag(TExifTag::MakeShort(0x0112, 6));
    if (turned) exif.TransformThumbnail(ptRotate270);
    TExifData read;
    read.LoadFromTiffBlock(exif.SaveToTiffBlock());
    unsigned width = 0, height = 0;
    ASSERT_TRUE(Dimensions(read.Thumbnail(), width, height));
    EXPECT_LE(read.Thumbnail().size(), MaxThumbnailSize);
    EXPECT_EQ(width, turned ? 120u : 150u);
    EXPECT_EQ(height, turned ? 150u : 120u);
    EXPECT_EQ(read[esThumbnail].Find(0x0100)->ElementAsUInt(0), width);
    EXPECT_EQ(read[esThumbnail].Find(0x0101)->ElementAsUInt(0), height);
    EXPECT_EQ(read[esThumbnail].Find(0x0112)->ElementAsUInt(0), turned ? 1u : 6u);
  }
}

TEST(ThumbnailJpeg, AThumbnailThatDoesNotDecodeGoesWithIfd1WhenThePictureTurns) {
  TBytes broken = EncodeJpeg(32, 24);
  std::fill(broken.begin() + 2, broken.end() - 2, 0x55);
  TExifData exif;
  exif.General().SetOrientation(toTopLeft);
  exif.SetThumbnail(broken);
  exif[esThumbnail].SetTag(TExifTag::MakeShort(0x0103, 6));
  exif.TransformThumbnail(ptIdentity);
  EXPECT_EQ(exif.Thumbnail(), broken);
  exif.TransformThumbnail(ptFlipHorizontal);
  EXPECT_TRUE(exif.Thumbnail().empty());
  EXPECT_TRUE(exif[esThumbnail].IsEmpty());
  TExifData read;
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
  EXPECT_TRUE(read[esThumbnail].IsEmpty());
}

}  // namespace
