// Pictures with an embedded colour profile reach the screen in sRGB; the
// working image keeps the file's values. The profiles are built here with
// Little CMS.
#include "tfmain_fixture.h"

#include "viewer/picture_painter.h"
#include "viewer/screen_colour.h"
#include "viewer/stretch.h"

#include <lcms2.h>

#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes SaveProfile(cmsHPROFILE profile) {
  Bytes bytes;
  cmsUInt32Number size = 0;
  if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
    bytes.resize(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
  }
  if (profile) cmsCloseProfile(profile);
  return bytes;
}

// ProPhoto RGB (ROMM): wide primaries, D50 white, gamma 1.8.
Bytes ProPhotoProfile(double gamma = 1.8) {
  const cmsCIExyYTRIPLE primaries{{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  const Bytes bytes = SaveProfile(cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves));
  cmsFreeToneCurve(curve);
  return bytes;
}

Bytes SrgbProfile() { return SaveProfile(cmsCreate_sRGBProfile()); }

Bytes GreyProfile() {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
  const Bytes bytes = SaveProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve));
  cmsFreeToneCurve(curve);
  return bytes;
}

// What Little CMS makes of a ProPhoto colour in sRGB, unoptimised.
QRgb ProPhotoInSrgb(QRgb rgb) {
  const Bytes pro = ProPhotoProfile();
  cmsHPROFILE in = cmsOpenProfileFromMem(pro.data(), static_cast<cmsUInt32Number>(pro.size()));
  cmsHPROFILE out = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_RGB_8, out, TYPE_RGB_8, INTENT_PERCEPTUAL, cmsFLAGS_NOOPTIMIZE);
  const unsigned char src[3] = {static_cast<unsigned char>(qRed(rgb)), static_cast<unsigned char>(qGreen(rgb)),
                                static_cast<unsigned char>(qBlue(rgb))};
  unsigned char dst[3] = {};
  cmsDoTransform(t, src, dst, 1);
  cmsDeleteTransform(t);
  cmsCloseProfile(out);
  cmsCloseProfile(in);
  return qRgb(dst[0], dst[1], dst[2]);
}

int Distance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Left half one colour, right half another; halves on 8-pixel blocks so that
// a JPEG keeps each colour as it is to a level.
FIBITMAP* TwoColours(QRgb left, QRgb right, const Bytes& profile) {
  FIBITMAP* dib = FreeImage_Allocate(64, 32, 24);
  for (unsigned y = 0; y < 32; ++y)
    for (unsigned x = 0; x < 64; ++x) {
      const QRgb c = x < 32 ? left : right;
      RGBQUAD q{static_cast<BYTE>(qBlue(c)), static_cast<BYTE>(qGreen(c)), static_cast<BYTE>(qRed(c)), 0};
      FreeImage_SetPixelColor(dib, x, y, &q);
    }
  if (!profile.empty())
    FreeImage_CreateICCProfile(dib, const_cast<unsigned char*>(profile.data()), static_cast<long>(profile.size()));
  return dib;
}

QRgb Raw(FIBITMAP* dib, unsigned x, unsigned y) {  // y counted from the top
  RGBQUAD q{};
  FreeImage_GetPixelColor(dib, x, FreeImage_GetHeight(dib) - 1 - y, &q);
  return qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

constexpr QRgb ProPhotoRed = qRgb(255, 0, 0);
constexpr QRgb MidColour = qRgb(150, 90, 60);  // a skin tone, well inside both gamuts

class ScreenColourWindowTest : public TfmainFixture {
protected:
  // The frame's pixel at the centre of the left or right half of the
  // 64 x 32 picture drawn at original size.
  QRgb ShownColour(bool right) const {
    const QSize c = window->Frame().size();
    return window->Frame().pixel((c.width() - 64) / 2 + (right ? 48 : 16), (c.height() - 32) / 2 + 16);
  }
};

TEST_F(ScreenColourWindowTest, AProPhotoJpegIsShownInSrgbAndTheWorkingImageKeepsItsValues) {
  const Bytes pro = ProPhotoProfile();
  const QString path = dir.File("prophoto.jpg");
  ASSERT_TRUE(testimg::Save(TwoColours(ProPhotoRed, MidColour, pro), FIF_JPEG, path,
                            JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444));
  Open(path);
  window->OriginalSize();

  FIBITMAP* working = window->Bitmap().Dib();
  ASSERT_NE(working, nullptr);
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(working);
  ASSERT_NE(icc, nullptr);
  ASSERT_EQ(icc->size, static_cast<DWORD>(pro.size()));  // the profile came along with the pixels
  const QRgb rawRed = Raw(working, 16, 16);
  const QRgb rawMid = Raw(working, 48, 16);
  ASSERT_LE(Distance(rawRed, ProPhotoRed), 2);
  ASSERT_LE(Distance(rawMid, MidColour), 2);

  // ProPhoto red lies far outside sRGB and clips to sRGB red.
  EXPECT_LE(Distance(ProPhotoInSrgb(ProPhotoRed), qRgb(255, 0, 0)), 3);
  EXPECT_LE(Distance(ShownColour(false), ProPhotoInSrgb(rawRed)), 2);
  EXPECT_LE(Distance(ShownColour(false), qRgb(255, 0, 0)), 3);
  // The mid colour proves a conversion happened: sRGB's value differs clearly.
  ASSERT_GE(Distance(ProPhotoInSrgb(MidColour), MidColour), 20);
  EXPECT_LE(Distance(ShownColour(true), ProPhotoInSrgb(rawMid)), 2);

  // The working image and the file are untouched.
  EXPECT_EQ(Raw(window->Bitmap().Dib(), 48, 16), rawMid);
  TFreeBitmap again(FreeImage_Load(FIF_JPEG, path.toUtf8().constData(), 0));
  EXPECT_EQ(Raw(again.Dib(), 48, 16), rawMid);
}

TEST_F(ScreenColourWindowTest, APictureWithoutAProfileIsShownAsItIs) {
  const QString path = dir.File("plain.png");
  ASSERT_TRUE(testimg::Save(TwoColours(ProPhotoRed, MidColour, {}), FIF_PNG, path));
  Open(path);
  window->OriginalSize();
  EXPECT_EQ(ShownColour(false), ProPhotoRed);
  EXPECT_EQ(ShownColour(true), MidColour);
}

TEST_F(ScreenColourWindowTest, TheNextPictureWithoutAProfileIsNotConverted) {
  // FreeImage 3.18 keeps the profile of a JPEG or TIFF, not a PNG's iCCP.
  const QString pro = dir.File("a.jpg");
  const QString plain = dir.File("b.png");
  ASSERT_TRUE(testimg::Save(TwoColours(MidColour, MidColour, ProPhotoProfile()), FIF_JPEG, pro,
                            JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444));
  ASSERT_TRUE(testimg::Save(TwoColours(MidColour, MidColour, {}), FIF_PNG, plain));
  Open(pro);
  window->OriginalSize();
  EXPECT_GE(Distance(ShownColour(true), MidColour), 20);
  Run("AcNext");
  ASSERT_EQ(Shown(), "b.png");
  EXPECT_EQ(ShownColour(true), MidColour);
}

// A frame of one colour with a picture rectangle over part of it.
class ScreenColourTest : public ::testing::Test {
protected:
  ScreenColourTest() : pixels(20 * 10, 0xFF000000u | MidColour) {}
  TFrameBuffer Frame() { return TFrameBuffer{pixels.data(), 20, 10, 20 * 4}; }
  QRgb At(int x, int y) const { return pixels[y * 20 + x]; }
  FIBITMAP* Tagged(const Bytes& profile) {
    FIBITMAP* dib = FreeImage_Allocate(4, 4, 24);
    if (!profile.empty())
      FreeImage_CreateICCProfile(dib, const_cast<unsigned char*>(profile.data()), static_cast<long>(profile.size()));
    bitmaps.emplace_back(dib);
    return dib;
  }
  bool Untouched() const {
    for (std::uint32_t p : pixels)
      if (p != (0xFF000000u | MidColour)) return false;
    return true;
  }

  std::vector<std::uint32_t> pixels;
  std::vector<TFreeBitmap> bitmaps;
  TScreenColour colour;
};

TEST_F(ScreenColourTest, OnlyTheVisiblePartOfThePictureRectangleIsConverted) {
  // Half off the frame's left edge: columns 0..4, rows 2..6 show.
  ASSERT_TRUE(colour.Apply(Frame(), TDrawRect{-5, 2, 10, 5}, Tagged(ProPhotoProfile())));
  const QRgb converted = ProPhotoInSrgb(MidColour);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x < 5 && y >= 2 && y < 7;
      ASSERT_EQ(qAlpha(At(x, y)), 255) << x << "," << y;
      if (inside)
        ASSERT_LE(Distance(At(x, y), converted), 2) << x << "," << y;
      else
        ASSERT_EQ(At(x, y), 0xFF000000u | MidColour) << x << "," << y;
    }
  // Wholly outside the frame: nothing to do.
  EXPECT_FALSE(colour.Apply(Frame(), TDrawRect{20, 0, 5, 5}, bitmaps.back().Dib()));
}

TEST_F(ScreenColourTest, RepeatedAndChangingRowsAreEachConverted) {
  // Rows as an enlarged picture draws them: runs of equal rows, then others.
  const QRgb colours[10] = {MidColour,          MidColour,          qRgb(20, 200, 90),  qRgb(20, 200, 90), MidColour,
                            qRgb(250, 250, 10), qRgb(250, 250, 10), qRgb(250, 250, 10), MidColour,         MidColour};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) pixels[y * 20 + x] = 0xFF000000u | colours[y];
  pixels[8 * 20 + 19] = 0xFF000000u | qRgb(1, 2, 3);  // row 8 differs from row 9 in its last pixel only
  ASSERT_TRUE(colour.Apply(Frame(), TDrawRect{0, 0, 20, 10}, Tagged(ProPhotoProfile())));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const QRgb drawn = y == 8 && x == 19 ? qRgb(1, 2, 3) : colours[y];
      ASSERT_LE(Distance(At(x, y), ProPhotoInSrgb(drawn)), 2) << x << "," << y;
    }
}

TEST_F(ScreenColourTest, TheTransformIsBuiltOncePerProfile) {
  const Bytes pro = ProPhotoProfile();
  FIBITMAP* first = Tagged(pro);
  EXPECT_TRUE(colour.Apply(Frame(), TDrawRect{0, 0, 2, 2}, first));
  EXPECT_TRUE(colour.Apply(Frame(), TDrawRect{0, 0, 2, 2}, first));
  EXPECT_TRUE(colour.Apply(Frame(), TDrawRect{0, 0, 2, 2}, Tagged(pro)));  // a new bitmap, the same profile
  EXPECT_EQ(colour.BuildCount(), 1);
  EXPECT_TRUE(colour.Apply(Frame(), TDrawRect{0, 0, 2, 2}, Tagged(ProPhotoProfile(2.2))));
  EXPECT_EQ(colour.BuildCount(), 2);
  EXPECT_FALSE(colour.Apply(Frame(), TDrawRect{0, 0, 2, 2}, Tagged({})));  // no profile: left alone
  EXPECT_EQ(colour.BuildCount(), 2);
  EXPECT_TRUE(colour.Apply(Frame(), TDrawRect{0, 0, 2, 2}, first));
  EXPECT_EQ(colour.BuildCount(), 3);
}

TEST_F(ScreenColourTest, UnusableOrSrgbProfilesLeaveThePictureAsDrawn) {
  Bytes truncated = ProPhotoProfile();
  truncated.resize(200);
  Bytes hugeTagCount = ProPhotoProfile();
  hugeTagCount[128] = hugeTagCount[129] = hugeTagCount[130] = hugeTagCount[131] = 0xFF;
  Bytes wildOffsets = ProPhotoProfile();
  for (size_t tag = 132; tag + 12 <= 132 + 12 * 9 && tag + 12 <= wildOffsets.size(); tag += 12)
    for (size_t i = 4; i < 12; ++i) wildOffsets[tag + i] = 0xFF;  // every tag's offset and size
  Bytes noise(3000);
  std::srand(7);
  for (unsigned char& b : noise) b = static_cast<unsigned char>(std::rand());
  const struct {
    const char* what;
    Bytes profile;
  } cases[] = {
      {"truncated", truncated},          {"huge tag count", hugeTagCount},
      {"wild tag offsets", wildOffsets}, {"noise", noise},
      {"one byte", Bytes(1, 0x42)},      {"grey", GreyProfile()},
      {"sRGB already", SrgbProfile()},
  };
  for (const auto& c : cases) {
    FIBITMAP* dib = Tagged(c.profile);
    EXPECT_FALSE(colour.Apply(Frame(), TDrawRect{0, 0, 20, 10}, dib)) << c.what;
    EXPECT_FALSE(colour.Apply(Frame(), TDrawRect{0, 0, 20, 10}, dib)) << c.what;
    EXPECT_TRUE(Untouched()) << c.what;
  }
  // Each was looked at once, not at every paint.
  EXPECT_EQ(colour.BuildCount(), 7);
}

TEST_F(ScreenColourTest, ThePainterConvertsOnlyWhenGivenTheConverter) {
  TFreeBitmap working(TwoColours(MidColour, MidColour, ProPhotoProfile()));
  TFreeBitmap copy;
  TViewState view;
  view.bZoomToFit = view.bShrinkToFit = false;
  QImage frame(100, 60, QImage::Format_RGB32);
  PaintPicture(frame, working, view, copy);
  EXPECT_EQ(frame.pixel(50, 30), 0xFF000000u | MidColour);
  PaintPicture(frame, working, view, copy, &colour);
  EXPECT_LE(Distance(frame.pixel(50, 30), ProPhotoInSrgb(MidColour)), 2);
  EXPECT_EQ(frame.pixel(10, 30), BackgroundColor);  // the bands stay black
}

// The converted layer kept from paint to paint: a pan, a repaint in place and
// a changed picture each give exactly what a converter without a past gives.
TEST_F(ScreenColourTest, KeptLayersGiveWhatAFreshConversionGives) {
  TFreeBitmap working(FreeImage_Allocate(50, 40, 24));
  for (unsigned y = 0; y < 40; ++y)
    for (unsigned x = 0; x < 50; ++x) {
      RGBQUAD c{static_cast<BYTE>(5 * x), static_cast<BYTE>(6 * y), static_cast<BYTE>((x * y) & 255), 0};
      FreeImage_SetPixelColor(working.Dib(), x, y, &c);
    }
  const Bytes pro = ProPhotoProfile();
  FreeImage_CreateICCProfile(working.Dib(), const_cast<unsigned char*>(pro.data()), static_cast<long>(pro.size()));
  const auto paint = [&](TScreenColour& converter, TDrawRect rect) {
    QImage frame(60, 45, QImage::Format_RGB32);
    frame.fill(0xFF000000u);
    const TFrameBuffer target{reinterpret_cast<std::uint32_t*>(frame.bits()), 60, 45,
                              static_cast<int>(frame.bytesPerLine())};
    EXPECT_TRUE(converter.Draw(target, rect, working.Dib(), working.Version(), [&](bool) { return working.Dib(); }));
    return frame;
  };
  const auto fresh = [&](TDrawRect rect) {
    TScreenColour converter;
    return paint(converter, rect);
  };
  const TDrawRect places[] = {{5, 3, 100, 80},    {5, 3, 100, 80},   {-12, 9, 100, 80},
                              {30, -20, 100, 80}, {300, 0, 100, 80}, {0, 0, 100, 80}};
  for (const TDrawRect& r : places) {
    SCOPED_TRACE(std::to_string(r.x) + "," + std::to_string(r.y));
    ASSERT_EQ(paint(colour, r), fresh(r));
  }
  // The picture changed in place: nothing kept of it may show.
  FreeImage_Invert(working.Dib());
  working.Touch();
  EXPECT_EQ(paint(colour, places[5]), fresh(places[5]));
}

}  // namespace
