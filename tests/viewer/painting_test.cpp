// The picture layer as a person sees it: pixels of the rendered frame.
#include "viewer/picture_painter.h"

#include "support/images.h"

#include <gtest/gtest.h>

#include <random>
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

// A picture of 8 bits a pixel, every pixel a different index from the one
// beside it, so that a misplaced pixel shows.
FIBITMAP* Noise8(unsigned width, unsigned height, std::mt19937& random) {
  FIBITMAP* dib = FreeImage_Allocate(int(width), int(height), 8);
  RGBQUAD* palette = FreeImage_GetPalette(dib);
  for (unsigned i = 0; i < 256; ++i) palette[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 7), 0};
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) FreeImage_GetScanLine(dib, int(y))[x] = BYTE(random());
  return dib;
}

TEST_F(PaintingTest, AChangePaintedAloneMatchesTheWholePaintedAgain) {
  std::mt19937 random(11);
  int partsSmallerThanThePicture = 0;
  for (int round = 0; round < 300; ++round) {
    const std::string where = "round " + std::to_string(round);
    const unsigned W = 1 + random() % 60, H = 1 + random() % 40;
    const int cw = 1 + int(random() % 200), ch = 1 + int(random() % 150);
    TViewState view = Original();
    view.fZoom = std::uniform_real_distribution<float>(0.3f, 7.0f)(random);
    view.bZoomToFit = view.bShrinkToFit = random() % 4 == 0;
    view.iOffsetX = int(random() % 41) - 20;
    view.iOffsetY = int(random() % 41) - 20;

    TFreeBitmap before(Noise8(W, H, random));
    TFreeBitmap after(FreeImage_Clone(before.Dib()));
    const unsigned x0 = random() % W, y0 = random() % H;
    const unsigned x1 = x0 + 1 + random() % (W - x0), y1 = y0 + 1 + random() % (H - y0);
    for (unsigned y = y0; y < y1; ++y)
      for (unsigned x = x0; x < x1; ++x) FreeImage_GetScanLine(after.Dib(), int(H - 1 - y))[x] ^= 0x5A;

    const std::optional<TPixelArea> changed = ChangedArea(before.Dib(), after.Dib());
    ASSERT_TRUE(changed) << where;
    EXPECT_EQ(changed->x0, int(x0)) << where;
    EXPECT_EQ(changed->y0, int(y0)) << where;
    EXPECT_EQ(changed->x1, int(x1)) << where;
    EXPECT_EQ(changed->y1, int(y1)) << where;

    QImage frame(cw, ch, QImage::Format_RGB32), want(cw, ch, QImage::Format_RGB32);
    TViewState v1 = view, v2 = view;
    PaintPicture(frame, before, v1, copy);
    PaintPicture(want, after, v2, copy);
    TViewState v3 = view;
    const QRect part = PaintPictureChange(frame, after, *changed, v3, copy);
    ASSERT_TRUE(frame == want) << where;
    // The part painted holds every pixel that changed, and no more than the
    // picture's place.
    TDrawRect r;
    TViewState v4 = view;
    PlaceImage(cw, ch, W, H, v4, r);
    const QRect place = QRect(r.x, r.y, r.width, r.height) & frame.rect();
    EXPECT_TRUE(place.contains(part) || part.isEmpty()) << where;
    if (!part.isEmpty() && part.width() * part.height() < place.width() * place.height()) ++partsSmallerThanThePicture;
    QImage old(cw, ch, QImage::Format_RGB32);
    TViewState v5 = view;
    PaintPicture(old, before, v5, copy);
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x)
        if (old.pixel(x, y) != want.pixel(x, y)) {
          ASSERT_TRUE(part.contains(x, y)) << where << " at " << x << "," << y;
        }
  }
  EXPECT_GT(partsSmallerThanThePicture, 100);
}

// The area of the pixels of dib that hold index.
TPixelArea AreaOf(FIBITMAP* dib, BYTE index) {
  TPixelArea area{1 << 30, 1 << 30, -1, -1};
  const int h = int(FreeImage_GetHeight(dib));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < int(FreeImage_GetWidth(dib)); ++x)
      if (FreeImage_GetScanLine(dib, h - 1 - y)[x] == index)
        area =
            TPixelArea{std::min(area.x0, x), std::min(area.y0, y), std::max(area.x1, x + 1), std::max(area.y1, y + 1)};
  return area;
}

void ExpectArea(const std::optional<TPixelArea>& got, const TPixelArea& want, const char* what) {
  ASSERT_TRUE(got) << what;
  EXPECT_EQ(got->x0, want.x0) << what;
  EXPECT_EQ(got->y0, want.y0) << what;
  EXPECT_EQ(got->x1, want.x1) << what;
  EXPECT_EQ(got->y1, want.y1) << what;
}

TEST(ChangedArea, FramesCompareByWhatThePixelsShow) {
  std::mt19937 random(3);
  TFreeBitmap a(Noise8(30, 20, random));
  ExpectArea(ChangedArea(a.Dib(), TFreeBitmap(FreeImage_Clone(a.Dib())).Dib()), TPixelArea{}, "the same");
  // Every frame of a GIF may bring its own palette: the pixels whose colour
  // changed, wherever their index stays.
  TFreeBitmap repainted(FreeImage_Clone(a.Dib()));
  FreeImage_GetPalette(repainted.Dib())[7].rgbRed ^= 1;
  ExpectArea(ChangedArea(a.Dib(), repainted.Dib()), AreaOf(a.Dib(), 7), "another colour for index 7");
  TFreeBitmap reordered(FreeImage_Clone(a.Dib()));
  RGBQUAD* palette = FreeImage_GetPalette(reordered.Dib());
  std::reverse(palette, palette + 256);
  for (unsigned y = 0; y < 20; ++y)
    for (unsigned x = 0; x < 30; ++x) FreeImage_GetScanLine(reordered.Dib(), int(y))[x] ^= 0xFF;
  ExpectArea(ChangedArea(a.Dib(), reordered.Dib()), TPixelArea{}, "the palette reversed and the indices with it");
  // A clear index shows the background wherever it is.
  TFreeBitmap clear(FreeImage_Clone(a.Dib()));
  BYTE alphas[1] = {0};
  FreeImage_SetTransparencyTable(clear.Dib(), alphas, 1);
  ExpectArea(ChangedArea(a.Dib(), clear.Dib()), AreaOf(a.Dib(), 0), "index 0 made clear");
  // The same colours at 32 bits, opaque, marked transparent or not.
  TFreeBitmap full(FreeImage_ConvertTo32Bits(a.Dib()));
  ExpectArea(ChangedArea(a.Dib(), full.Dib()), TPixelArea{}, "the same at 32 bits");
  FreeImage_SetTransparent(full.Dib(), TRUE);
  ExpectArea(ChangedArea(a.Dib(), full.Dib()), TPixelArea{}, "the same at 32 bits marked transparent");
  FreeImage_GetScanLine(full.Dib(), 0)[4 * 3 + FI_RGBA_ALPHA] = 128;  // bottom row
  ExpectArea(ChangedArea(a.Dib(), full.Dib()), TPixelArea{3, 19, 4, 20}, "one pixel half clear");

  // What cannot be compared is painted whole.
  TFreeBitmap smaller(FreeImage_Copy(a.Dib(), 0, 0, 29, 20));
  EXPECT_FALSE(ChangedArea(a.Dib(), smaller.Dib()));
  TFreeBitmap grey16(FreeImage_ConvertToType(a.Dib(), FIT_UINT16));
  EXPECT_FALSE(ChangedArea(a.Dib(), grey16.Dib()));
  TFreeBitmap withBackground(FreeImage_Clone(a.Dib()));
  RGBQUAD white{255, 255, 255, 0};
  FreeImage_SetBackgroundColor(withBackground.Dib(), &white);
  EXPECT_FALSE(ChangedArea(a.Dib(), withBackground.Dib()));
  EXPECT_FALSE(ChangedArea(a.Dib(), nullptr));
}

TEST(ChangedArea, ThreeBytePixelsAreCountedWhole) {
  TFreeBitmap a(testimg::Solid24(10, 4, 0x102030));
  TFreeBitmap b(FreeImage_Clone(a.Dib()));
  // Only the green byte of pixel 5 in the top row, and the blue one of pixel 2 in the row below.
  FreeImage_GetScanLine(b.Dib(), 3)[5 * 3 + FI_RGBA_GREEN] = 0x99;
  FreeImage_GetScanLine(b.Dib(), 2)[2 * 3 + FI_RGBA_BLUE] = 0x99;
  const std::optional<TPixelArea> changed = ChangedArea(a.Dib(), b.Dib());
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->x0, 2);
  EXPECT_EQ(changed->x1, 6);
  EXPECT_EQ(changed->y0, 0);
  EXPECT_EQ(changed->y1, 2);
}

}  // namespace
