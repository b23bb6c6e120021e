// BMP files with the newer headers, which FreeImage refuses, open through the
// worker with the right size and pixels; crafted ones that lie about their
// sizes and offsets are refused by our reader without reading out of bounds.
#include "hostile_files.h"

#include "decoder/bmp_reader.h"
#include "platform/free_bitmap.h"
#include "support/images.h"
#include "support/temp_folder.h"
#include "viewer/image_loader.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr unsigned W = 7, H = 5;  // an odd width: every row is padded

// A distinct colour and alpha for each pixel (x, y from the top).
RGBQUAD Expected(unsigned x, unsigned y) {
  RGBQUAD c{};
  c.rgbRed = static_cast<BYTE>(30 * x + 10);
  c.rgbGreen = static_cast<BYTE>(40 * y + 20);
  c.rgbBlue = static_cast<BYTE>(200 - 20 * x);
  c.rgbReserved = static_cast<BYTE>(50 + 25 * x + 5 * y);
  return c;
}

FIBITMAP* Source(bool alpha) {
  FIBITMAP* dib = FreeImage_Allocate(W, H, alpha ? 32 : 24);
  for (unsigned y = 0; y < H; ++y)
    for (unsigned x = 0; x < W; ++x) {
      RGBQUAD c = Expected(x, y);
      FreeImage_SetPixelColor(dib, x, H - 1 - y, &c);
    }
  return dib;
}

class BmpReaderTest : public ::testing::Test {
protected:
  // ImageMagick's BMP of the source picture in one of its header versions.
  QString MagickBmp(const QString& version, bool alpha) {
    const QString png = dir.File(QStringLiteral("source-%1.png").arg(alpha));
    EXPECT_TRUE(testimg::Save(Source(alpha), FIF_PNG, png));
    const QString bmp = dir.File(QStringLiteral("%1-%2.bmp").arg(version).arg(alpha ? 32 : 24));
    const int rc = QProcess::execute(QStringLiteral("convert"),
                                     {png, QStringLiteral("-define"), QStringLiteral("bmp:format=") + version, bmp});
    EXPECT_EQ(rc, 0) << "convert made no " << version.toStdString();
    return bmp;
  }
  void ExpectSource(const TFreeBitmap& bitmap, bool alpha) {
    ASSERT_TRUE(bitmap.IsValid());
    ASSERT_EQ(bitmap.Width(), W);
    ASSERT_EQ(bitmap.Height(), H);
    EXPECT_EQ(bitmap.BPP(), alpha ? 32u : 24u);
    for (unsigned y = 0; y < H; ++y)
      for (unsigned x = 0; x < W; ++x) {
        RGBQUAD got{}, want = Expected(x, y);
        ASSERT_TRUE(FreeImage_GetPixelColor(bitmap.Dib(), x, H - 1 - y, &got));
        EXPECT_EQ(got.rgbRed, want.rgbRed) << x << "," << y;
        EXPECT_EQ(got.rgbGreen, want.rgbGreen) << x << "," << y;
        EXPECT_EQ(got.rgbBlue, want.rgbBlue) << x << "," << y;
        if (alpha) {
          EXPECT_EQ(got.rgbReserved, want.rgbReserved) << x << "," << y;
        }
      }
  }
  TempFolder dir;
  TFreeBitmap bitmap;
};

TEST_F(BmpReaderTest, ImageMagicksV3V4AndV5FilesOpenWithTheirPixels) {
  for (const char* version : {"bmp3", "bmp4", "bmp"}) {
    for (bool alpha : {false, true}) {
      SCOPED_TRACE(std::string(version) + (alpha ? " with alpha" : ""));
      // ImageMagick writes no alpha into a V3 file.
      const bool keepsAlpha = alpha && std::string(version) != "bmp3";
      ASSERT_TRUE(LoadImageFile(bitmap, MagickBmp(QLatin1String(version), alpha), true));
      ExpectSource(bitmap, keepsAlpha);
    }
  }
}

// Layouts ImageMagick does not write: rows top-down, 16-bit 5-6-5 pixels,
// a palette, an alpha mask over nothing but zeros, an embedded profile.
TEST_F(BmpReaderTest, TopDownRowsBitFieldsPalettesAndProfilesAreRead) {
  hostile::TBmpV5 topDown;
  topDown.width = 2;
  topDown.height = -2;
  topDown.bpp = 32;
  topDown.compression = 3;
  topDown.masks[0] = 0xFF0000, topDown.masks[1] = 0xFF00, topDown.masks[2] = 0xFF, topDown.masks[3] = 0xFF000000u;
  // First row stored is the top one: red, green; then blue, white at half alpha.
  topDown.pixels = QByteArray::fromHex("0000ffff00ff00ffff000080ffffff80");
  topDown.profile = testimg::ReadFile(QStringLiteral("/usr/share/color/icc/ghostscript/srgb.icc"));
  ASSERT_FALSE(topDown.profile.isEmpty()) << "ghostscript's sRGB profile is missing";
  ASSERT_TRUE(LoadImageFile(bitmap, dir.Write("top-down.bmp", hostile::BmpV5(topDown)), true));
  ASSERT_TRUE(bitmap.IsValid());
  ASSERT_EQ(bitmap.BPP(), 32u);
  RGBQUAD c{};
  FreeImage_GetPixelColor(bitmap.Dib(), 0, 1, &c);  // top left
  EXPECT_EQ(c.rgbRed, 255);
  EXPECT_EQ(c.rgbBlue, 0);
  FreeImage_GetPixelColor(bitmap.Dib(), 1, 0, &c);  // bottom right
  EXPECT_EQ(c.rgbRed, 255);
  EXPECT_EQ(c.rgbReserved, 0x80);
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(bitmap.Dib());
  ASSERT_NE(icc, nullptr);
  EXPECT_EQ(icc->size, static_cast<DWORD>(topDown.profile.size()));

  hostile::TBmpV5 rgb565;
  rgb565.width = 2;
  rgb565.height = 1;
  rgb565.bpp = 16;
  rgb565.compression = 3;
  rgb565.masks[0] = 0xF800, rgb565.masks[1] = 0x07E0, rgb565.masks[2] = 0x001F;
  rgb565.pixels = QByteArray::fromHex("e007ffff");  // pure green, white
  ASSERT_TRUE(LoadImageFile(bitmap, dir.Write("565.bmp", hostile::BmpV5(rgb565)), true));
  ASSERT_TRUE(bitmap.IsValid());
  EXPECT_EQ(bitmap.BPP(), 24u);
  FreeImage_GetPixelColor(bitmap.Dib(), 0, 0, &c);
  EXPECT_EQ(c.rgbRed, 0);
  EXPECT_EQ(c.rgbGreen, 255);
  FreeImage_GetPixelColor(bitmap.Dib(), 1, 0, &c);
  EXPECT_EQ(c.rgbBlue, 255);

  hostile::TBmpV5 paletted;
  paletted.width = 3;
  paletted.height = 1;
  paletted.bpp = 8;
  paletted.palette = QByteArray::fromHex(
      "0000ff00"
      "00ff0000");  // red, green
  paletted.pixels = QByteArray::fromHex("01000100");
  ASSERT_TRUE(LoadImageFile(bitmap, dir.Write("palette.bmp", hostile::BmpV5(paletted)), true));
  ASSERT_TRUE(bitmap.IsValid());
  EXPECT_EQ(bitmap.BPP(), 8u);
  EXPECT_EQ(FreeImage_GetColorsUsed(bitmap.Dib()), 256u);
  BYTE index = 9;
  FreeImage_GetPixelIndex(bitmap.Dib(), 1, 0, &index);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(FreeImage_GetPalette(bitmap.Dib())[1].rgbGreen, 255);

  hostile::TBmpV5 unusedAlpha = topDown;
  unusedAlpha.profile.clear();
  unusedAlpha.pixels = QByteArray::fromHex("0000ff0000ff000010203000ffffff00");
  ASSERT_TRUE(LoadImageFile(bitmap, dir.Write("unused-alpha.bmp", hostile::BmpV5(unusedAlpha)), true));
  ASSERT_TRUE(bitmap.IsValid());
  EXPECT_FALSE(FreeImage_IsTransparent(bitmap.Dib())) << "an alpha channel of zeros is no transparency";
}

// Our reader on its own, in this process, where a sanitizer build watches
// every read: each lie is refused (or, for a profile past the end, the
// picture comes without it).
TEST(BmpReader, FilesThatLieAboutSizesAndOffsetsAreRefused) {
  TempFolder dir;
  for (const hostile::TFile& file : hostile::All()) {
    if (!file.name.startsWith(QLatin1String("v5-"))) continue;
    SCOPED_TRACE(file.name.toStdString());
    const QString path = dir.Write(file.name, file.bytes);
    std::FILE* f = std::fopen(path.toUtf8().constData(), "rb");
    ASSERT_NE(f, nullptr);
    FIBITMAP* dib = decoder::ReadBmp(f);
    std::fclose(f);
    if (file.name == QLatin1String("v5-profile-past-end.bmp")) {
      ASSERT_NE(dib, nullptr);
      EXPECT_EQ(FreeImage_GetICCProfile(dib)->size, 0u);
    } else {
      EXPECT_EQ(dib, nullptr);
    }
    TFreeBitmap{dib}.Clear();
  }
}

}  // namespace
