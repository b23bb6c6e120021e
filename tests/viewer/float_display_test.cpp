// Floating-point pictures on screen: OpenEXR, Radiance HDR, PFM and float
// TIFF files, decoded by the worker, show what ImageMagick makes of the same
// file for an sRGB screen, and the working image keeps its floats.
#include "viewer/float_display.h"
#include "viewer/image_loader.h"
#include "viewer/picture_painter.h"

#include "support/images.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

// A float picture with a wide range: red rises left to right past 1 (over
// the top at the right), green is flat, blue rises top to bottom.
FIBITMAP* FloatPicture(FREE_IMAGE_TYPE type) {
  constexpr unsigned W = 64, H = 32;
  FIBITMAP* dib = FreeImage_AllocateT(type, W, H);
  for (unsigned y = 0; y < H; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, static_cast<int>(y));
    for (unsigned x = 0; x < W; ++x) {
      float* p = reinterpret_cast<float*>(line) + x * (type == FIT_RGBAF ? 4 : 3);
      p[0] = static_cast<float>(x) / (W - 1) * 1.2f;
      p[1] = 0.25f;
      p[2] = static_cast<float>(y) / (H - 1) * 0.5f;
      if (type == FIT_RGBAF) p[3] = 1.0f;
    }
  }
  return dib;
}

// The mean colour of the picture drawn one to one in a frame of its size.
void PaintedMean(const TFreeBitmap& picture, double mean[3]) {
  const int w = static_cast<int>(picture.Width()), h = static_cast<int>(picture.Height());
  QImage frame(w, h, QImage::Format_RGB32);
  TViewState view;
  view.bZoomToFit = view.bShrinkToFit = false;
  TFreeBitmap copy;
  PaintPicture(frame, picture, view, copy);
  double sum[3] = {};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const QRgb p = frame.pixel(x, y);
      sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
    }
  for (int i = 0; i < 3; ++i) mean[i] = sum[i] / (w * h);
}

class FloatDisplayTest : public ::testing::Test {
protected:
  // Writes the picture in fif, loads it through the worker and paints it.
  void LoadAndPaint(FREE_IMAGE_FORMAT fif, FREE_IMAGE_TYPE type, const QString& name, int flags, double mean[3]) {
    path = dir.File(name);
    ASSERT_TRUE(testimg::Save(FloatPicture(type), fif, path, flags));
    ASSERT_TRUE(LoadImageFile(bitmap, path, true));
    ASSERT_TRUE(bitmap.IsValid());
    EXPECT_EQ(FreeImage_GetImageType(bitmap.Dib()), type) << "the working image keeps its floats";
    PaintedMean(bitmap, mean);
  }
  void ExpectLikeImageMagick(const double mean[3]) {
    double magick[3];
    ASSERT_TRUE(testimg::MagickMeanRgb(path, {QStringLiteral("-colorspace"), QStringLiteral("sRGB")}, magick));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(mean[i], magick[i], 2.0) << "channel " << i;
  }
  TempFolder dir;
  QString path;
  TFreeBitmap bitmap;
};

// Radiance HDR and OpenEXR hold linear light: shown through the sRGB curve.
// ImageMagick here reads no EXR, so the EXR of the same floats must look
// like the HDR.
TEST_F(FloatDisplayTest, LinearLightFilesShowThroughTheSrgbCurveAsImageMagickShowsThem) {
  double hdr[3], exr[3], exrAlpha[3];
  LoadAndPaint(FIF_HDR, FIT_RGBF, QStringLiteral("wide.hdr"), 0, hdr);
  ExpectLikeImageMagick(hdr);
  EXPECT_GT(hdr[1], 130.0) << "0.25 of linear light is a light grey, not a dark one";
  LoadAndPaint(FIF_EXR, FIT_RGBF, QStringLiteral("wide.exr"), EXR_FLOAT, exr);
  LoadAndPaint(FIF_EXR, FIT_RGBAF, QStringLiteral("alpha.exr"), EXR_FLOAT, exrAlpha);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(exr[i], hdr[i], 1.5) << "channel " << i;
    EXPECT_NEAR(exrAlpha[i], hdr[i], 1.5) << "channel " << i;
  }
}

// PFM and float TIFF say nothing of linear light: their values are shown as
// they are, as ImageMagick reads them.
TEST_F(FloatDisplayTest, PfmAndFloatTiffShowTheirValuesAsImageMagickShowsThem) {
  double pfm[3], tiff[3];
  LoadAndPaint(FIF_PFM, FIT_RGBF, QStringLiteral("wide.pfm"), 0, pfm);
  ExpectLikeImageMagick(pfm);
  LoadAndPaint(FIF_TIFF, FIT_RGBF, QStringLiteral("wide.tif"), TIFF_NONE, tiff);
  ExpectLikeImageMagick(tiff);
}

// Values no picture should hold never break the conversion; transparency
// shows the checkerboard as it does for any picture.
TEST(FloatDisplay, OutOfRangeAndNotANumberClampAndAlphaShowsTheCheckerboard) {
  TFreeBitmap picture(FreeImage_AllocateT(FIT_RGBAF, 16, 16));
  for (unsigned y = 0; y < 16; ++y) {
    auto* line = reinterpret_cast<FIRGBAF*>(FreeImage_GetScanLine(picture.Dib(), static_cast<int>(y)));
    for (unsigned x = 0; x < 16; ++x) line[x] = FIRGBAF{-3.0f, std::nanf(""), 1e30f, 0.0f};
  }
  TFreeBitmap shown(FloatPictureForDisplay(picture.Dib(), true));
  ASSERT_TRUE(shown.IsValid());
  ASSERT_EQ(shown.BPP(), 32u);
  const BYTE* p = FreeImage_GetScanLine(shown.Dib(), 0);
  EXPECT_EQ(p[FI_RGBA_RED], 0);
  EXPECT_EQ(p[FI_RGBA_GREEN], 0);
  EXPECT_EQ(p[FI_RGBA_BLUE], 255);
  EXPECT_EQ(p[FI_RGBA_ALPHA], 0);

  // Fully transparent: what is drawn is FreeImage's checkerboard, two greys.
  QImage frame(16, 16, QImage::Format_RGB32);
  TViewState view;
  view.bZoomToFit = view.bShrinkToFit = false;
  TFreeBitmap copy;
  PaintPicture(frame, picture, view, copy);
  std::set<QRgb> colours;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) colours.insert(frame.pixel(x, y));
  EXPECT_EQ(colours.size(), 2u);
  for (QRgb c : colours) EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << std::hex << c;
}

}  // namespace
