// The picture layer as a person sees it: pixels of the rendered frame.
#include "viewer/picture_painter.h"

#include "support/images.h"

#include <gtest/gtest.h>

#include <set>

// FreeImage 3.18 exports this, but Debian's header lacks it.
extern "C" FIBITMAP* DLL_CALLCONV FreeImage_AllocateHeaderT(BOOL header_only, FREE_IMAGE_TYPE type, int width,
                                                            int height, int bpp, unsigned red_mask, unsigned green_mask,
                                                            unsigned blue_mask);

namespace {

QRgb Rgb(QRgb c) { return c | 0xFF000000u; }

class PaintingTest : public ::testing::Test {
protected:
  QImage Paint(FIBITMAP* dib, int cw, int ch, TViewState view) {
    working.Assign(dib);
    QImage frame(cw, ch, QImage::Format_RGB32);
    frame.fill(0xFF123456);  // anything the painter leaves shows up as this
    PaintPicture(frame, working, view, copy);
    lastView = view;
    return frame;
  }
  static TViewState Original() {
    TViewState v;
    v.bZoomToFit = v.bShrinkToFit = false;
    return v;
  }
  TFreeBitmap working;
  TFreeBitmap copy;
  TViewState lastView;
};

TEST_F(PaintingTest, ImageRectangleAndTheFourBands) {
  const QImage f = Paint(testimg::Solid24(100, 50, 0xFF0000), 400, 300, Original());
  EXPECT_EQ(f.pixel(150, 125), Rgb(0xFF0000));
  EXPECT_EQ(f.pixel(249, 174), Rgb(0xFF0000));
  EXPECT_EQ(f.pixel(149, 125), BackgroundColor);  // left band
  EXPECT_EQ(f.pixel(250, 125), BackgroundColor);  // right band
  EXPECT_EQ(f.pixel(150, 124), BackgroundColor);  // above
  EXPECT_EQ(f.pixel(150, 175), BackgroundColor);  // below
  EXPECT_EQ(f.pixel(0, 0), BackgroundColor);
  EXPECT_EQ(f.pixel(399, 299), BackgroundColor);
  EXPECT_EQ(lastView.iDrawWidth, 100);
}

TEST_F(PaintingTest, NearestPixelStretchKeepsHardEdgesAndRowOrder) {
  // Two rows: top red, bottom blue (FreeImage stores rows bottom-up).
  FIBITMAP* dib = FreeImage_Allocate(2, 2, 24);
  RGBQUAD red{0, 0, 255, 0}, blue{255, 0, 0, 0}, green{0, 255, 0, 0};
  FreeImage_SetPixelColor(dib, 0, 1, &red);
  FreeImage_SetPixelColor(dib, 1, 1, &green);
  FreeImage_SetPixelColor(dib, 0, 0, &blue);
  FreeImage_SetPixelColor(dib, 1, 0, &blue);
  TViewState v = Original();
  v.fZoom = 50.0f;  // 100 x 100 drawn in a 100 x 100 client
  const QImage f = Paint(dib, 100, 100, v);
  EXPECT_EQ(f.pixel(0, 0), Rgb(0xFF0000));
  EXPECT_EQ(f.pixel(49, 49), Rgb(0xFF0000));
  EXPECT_EQ(f.pixel(50, 0), Rgb(0x00FF00));
  EXPECT_EQ(f.pixel(0, 50), Rgb(0x0000FF));
  EXPECT_EQ(f.pixel(99, 99), Rgb(0x0000FF));
}

TEST_F(PaintingTest, TransparentImageShowsTheCheckerboard) {
  FIBITMAP* dib = FreeImage_Allocate(64, 64, 32);  // all pixels alpha 0
  FreeImage_SetTransparent(dib, TRUE);
  const QImage f = Paint(dib, 64, 64, Original());
  std::set<QRgb> colours;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const QRgb p = f.pixel(x, y);
      EXPECT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << "not grey at " << x << "," << y;
      colours.insert(p);
    }
  EXPECT_EQ(colours.size(), 2u);
  EXPECT_TRUE(copy.IsValid());  // the composite is kept until the next paint
}

TEST_F(PaintingTest, PaletteImagesUseTheirPalette) {
  FIBITMAP* dib = FreeImage_Allocate(4, 1, 8);
  RGBQUAD* pal = FreeImage_GetPalette(dib);
  pal[0] = RGBQUAD{0x10, 0x20, 0x30, 0};  // blue, green, red
  pal[1] = RGBQUAD{0xFF, 0x80, 0x00, 0};
  BYTE* line = FreeImage_GetScanLine(dib, 0);
  line[0] = 0, line[1] = 1, line[2] = 1, line[3] = 0;
  const QImage f = Paint(dib, 4, 1, Original());
  EXPECT_EQ(f.pixel(0, 0), Rgb(0x302010));
  EXPECT_EQ(f.pixel(1, 0), Rgb(0x0080FF));
  EXPECT_EQ(f.pixel(3, 0), Rgb(0x302010));
}

TEST_F(PaintingTest, SixteenBitGreyIsScaledToTheStandardRange) {
  FIBITMAP* dib = FreeImage_AllocateT(FIT_UINT16, 3, 1);
  auto* line = reinterpret_cast<unsigned short*>(FreeImage_GetScanLine(dib, 0));
  line[0] = 0;
  line[1] = 30000;
  line[2] = 60000;
  const QImage f = Paint(dib, 3, 1, Original());
  EXPECT_EQ(f.pixel(0, 0), Rgb(0x000000));
  EXPECT_NEAR(qRed(f.pixel(1, 0)), 127.5, 1.0);  // linear: 30000 of 60000
  EXPECT_EQ(f.pixel(2, 0), Rgb(0xFFFFFF));
}

TEST_F(PaintingTest, ComplexImagesShowTheirMagnitude) {
  FIBITMAP* dib = FreeImage_AllocateT(FIT_COMPLEX, 2, 1);
  auto* line = reinterpret_cast<FICOMPLEX*>(FreeImage_GetScanLine(dib, 0));
  line[0] = FICOMPLEX{0.0, 0.0};
  line[1] = FICOMPLEX{3.0, 4.0};
  const QImage f = Paint(dib, 2, 1, Original());
  EXPECT_EQ(f.pixel(0, 0), Rgb(0x000000));
  EXPECT_EQ(f.pixel(1, 0), Rgb(0xFFFFFF));
}

TEST_F(PaintingTest, TwentyFourBitImageWithBackgroundColourIsStillDrawn) {
  FIBITMAP* dib = testimg::Solid24(10, 10, 0x00FF00);
  RGBQUAD bk{0, 0, 255, 0};
  FreeImage_SetBackgroundColor(dib, &bk);
  const QImage f = Paint(dib, 10, 10, Original());
  EXPECT_EQ(f.pixel(5, 5), Rgb(0x00FF00));
}

// Every pixel of the rectangle (x, y, w, h) of frame has colour c.
::testing::AssertionResult AllPixels(const QImage& frame, int x, int y, int w, int h, QRgb c) {
  for (int row = y; row < y + h; ++row)
    for (int col = x; col < x + w; ++col)
      if (frame.pixel(col, row) != c)
        return ::testing::AssertionFailure()
               << "pixel " << col << "," << row << " is " << QString::number(frame.pixel(col, row), 16).toStdString();
  return ::testing::AssertionSuccess();
}

TEST_F(PaintingTest, AnImageThatCannotBeShownLeavesOnlyTheBackground) {
  // A bitmap without pixels (a header alone) has nothing to draw.
  const auto headerOnly = [](int w, int h) { return FreeImage_AllocateHeaderT(TRUE, FIT_BITMAP, w, h, 24, 0, 0, 0); };

  // A frame that showed another picture before.
  TViewState view = Original();
  QImage frame(40, 30, QImage::Format_RGB32);
  working.Assign(testimg::Solid24(40, 30, 0xFF0000));
  PaintPicture(frame, working, view, copy);
  ASSERT_TRUE(AllPixels(frame, 0, 0, 40, 30, Rgb(0xFF0000)));
  working.Assign(headerOnly(20, 10));
  PaintPicture(frame, working, view, copy);
  EXPECT_TRUE(AllPixels(frame, 0, 0, 40, 30, BackgroundColor));
  EXPECT_EQ(view.iDrawWidth, 20);  // placed as usual, only nothing drawn in its place
  EXPECT_FALSE(copy.IsValid());

  // A newly allocated frame holds whatever was in memory: here a pattern.
  const QImage fresh = Paint(headerOnly(30, 30), 50, 40, Original());
  EXPECT_TRUE(AllPixels(fresh, 0, 0, 50, 40, BackgroundColor));
}

TEST_F(PaintingTest, EmptyImageFillsTheBackground) {
  const QImage f = Paint(nullptr, 20, 10, Original());
  EXPECT_EQ(f.pixel(0, 0), BackgroundColor);
  EXPECT_EQ(f.pixel(19, 9), BackgroundColor);
}

TEST_F(PaintingTest, ZeroSizedFrameDrawsNothing) {
  TViewState v = Original();
  v.iDrawWidth = 33;
  QImage empty;
  working.Assign(testimg::Solid24(10, 10, 0));
  PaintPicture(empty, working, v, copy);
  EXPECT_EQ(v.iDrawWidth, 33);
}

TEST_F(PaintingTest, PannedImageIsClippedToTheFrame) {
  TViewState v = Original();
  v.iOffsetX = -150;  // 300 wide image in 200 wide frame: not inside, so offsets stay
  const QImage f = Paint(testimg::Solid24(300, 100, 0xABCDEF), 200, 100, v);
  EXPECT_EQ(f.pixel(0, 50), Rgb(0xABCDEF));
  EXPECT_EQ(f.pixel(99, 50), Rgb(0xABCDEF));
  EXPECT_EQ(f.pixel(100, 50), BackgroundColor);  // x = -50 - 150, right edge at 100
}

}  // namespace
