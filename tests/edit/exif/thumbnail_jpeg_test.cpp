// The thumbnail re-encoder: an encoder error after the output has grown past
// its first buffer returns nothing (and, under the sanitizers, frees nothing
// twice and leaks nothing).
#include "edit/exif/thumbnail_jpeg.h"
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

}  // namespace
