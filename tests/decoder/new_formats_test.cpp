// HEIF, AVIF and JPEG XL files made by Debian's encoders, and camera RAW
// files written here, decode in the worker into the bitmaps the viewer takes:
// size, pixels within the encoders' error, depth, colour profile, EXIF, and
// the file's own orientation applied once.
#include "dng_file.h"
#include "new_format_files.h"

#include "decoder/extra_plugins.h"
#include "decoder/file_stamp.h"
#include "decoder/heif_decoder.h"
#include "decoder/worker_decode.h"
#include "platform/freeimage_setup.h"
#include "support/images.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <array>
#include <string>

namespace {

using newfiles::Blue;
using newfiles::Green;
using newfiles::Red;
using newfiles::TCorner;
using newfiles::White;

struct TDecoded {
  decoder::TWorkerResult result;
  FIBITMAP* dib() const { return result.bitmap.Dib(); }
};

class NewFormatsTest : public ::testing::Test {
protected:
  void SetUp() override {
    InstallImageLibraryMessageHandlers();
    formats = decoder::RegisterExtraDecoders();
  }

  void Decode(TDecoded& out, const QString& path, int flags = JPEG_EXIFROTATE) {
    const std::string name = QFile::encodeName(path).toStdString();
    out.result = decoder::DecodeFile(decoder::OpenRegularFile(name), name, flags, decoder::TWorkerAsk{});
  }

  std::string ExifText(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, const char* key) {
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(model, dib, key, &tag) || !tag) return {};
    return FreeImage_TagToString(model, tag, nullptr);
  }

  TempFolder dir;
  decoder::TExtraFormats formats;
};

// The colours at the middle of the four quadrants, top-left, top-right,
// bottom-left, bottom-right, within the error of lossy coding.
void ExpectCorners(FIBITMAP* dib, const std::array<TCorner, 4>& expected, const std::string& where) {
  ASSERT_NE(dib, nullptr) << where;
  const unsigned w = FreeImage_GetWidth(dib), h = FreeImage_GetHeight(dib);
  const unsigned xs[] = {w / 4, 3 * w / 4, w / 4, 3 * w / 4};
  const unsigned ys[] = {h / 4, h / 4, 3 * h / 4, 3 * h / 4};
  for (int i = 0; i < 4; ++i) {
    const TCorner got = newfiles::PixelAt(dib, xs[i], ys[i]);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(got.rgb[c], expected[static_cast<std::size_t>(i)].rgb[c], 40)
          << where << " quadrant " << i << " channel " << c;
  }
}

TEST_F(NewFormatsTest, EachFormatDecodesWithItsProfileAndExif) {
  const QByteArray a98 = testimg::ReadFile(newfiles::A98Profile);
  ASSERT_FALSE(a98.isEmpty());
  const QString jpeg = newfiles::QuadrantJpeg(dir, QStringLiteral("source.jpg"), true, 1);
  const struct {
    const char* name;
    FREE_IMAGE_FORMAT fif;
  } cases[] = {{"photo.heic", formats.heif}, {"photo.avif", formats.avif}, {"photo.jxl", formats.jxl}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString file = newfiles::Encode(dir, jpeg, QLatin1String(c.name));
    ASSERT_FALSE(file.isEmpty());
    TDecoded decoded;
    Decode(decoded, file);
    ASSERT_EQ(decoded.result.status, decoder::TReplyStatus::Decoded);
    EXPECT_EQ(decoded.result.fif, c.fif);
    EXPECT_EQ(FreeImage_GetWidth(decoded.dib()), 64u);
    EXPECT_EQ(FreeImage_GetHeight(decoded.dib()), 48u);
    EXPECT_EQ(FreeImage_GetBPP(decoded.dib()), 24u);
    ExpectCorners(decoded.dib(), {Red, Green, Blue, White}, c.name);
    const FIICCPROFILE* icc = FreeImage_GetICCProfile(decoded.dib());
    ASSERT_NE(icc, nullptr);
    EXPECT_EQ(QByteArray(static_cast<const char*>(icc->data), static_cast<int>(icc->size)), a98);
    EXPECT_EQ(ExifText(decoded.dib(), FIMD_EXIF_MAIN, "Orientation"), "top, left side");
    EXPECT_GT(FreeImage_GetMetadataCount(FIMD_EXIF_RAW, decoded.dib()), 0u);
  }
}

TEST_F(NewFormatsTest, TheFilesOwnTurnIsAppliedOnceAndTheExifOrientationNotAgain) {
  // heif-enc keeps the JPEG's EXIF orientation but stores the pixels as they
  // were: the HEIF rules ignore that tag, and so do we.
  const QString turned = newfiles::QuadrantJpeg(dir, QStringLiteral("turned.jpg"), false, 6);
  TDecoded heic;
  Decode(heic, newfiles::Encode(dir, turned, QStringLiteral("exif6.heic")));
  ExpectCorners(heic.dib(), {Red, Green, Blue, White}, "heic with EXIF orientation 6");
  EXPECT_EQ(ExifText(heic.dib(), FIMD_EXIF_MAIN, "Orientation"), "top, left side");

  // An AVIF turned a quarter counter-clockwise by its irot property.
  const QString png = newfiles::QuadrantPng(dir, QStringLiteral("plain.png"), false, false);
  TDecoded avif;
  Decode(avif,
         newfiles::Encode(dir, png, QStringLiteral("irot.avif"), {QStringLiteral("--irot"), QStringLiteral("1")}));
  ASSERT_NE(avif.dib(), nullptr);
  EXPECT_EQ(FreeImage_GetWidth(avif.dib()), 48u);
  ExpectCorners(avif.dib(), {Green, White, Red, Blue}, "avif irot 1");

  // cjxl takes the JPEG's orientation 6 into the codestream: a quarter
  // clockwise, whatever the viewer's EXIF setting.
  for (const int flags : {JPEG_EXIFROTATE, 0}) {
    TDecoded jxl;
    Decode(jxl, newfiles::Encode(dir, turned, QStringLiteral("orient%1.jxl").arg(flags)), flags);
    ASSERT_NE(jxl.dib(), nullptr);
    EXPECT_EQ(FreeImage_GetWidth(jxl.dib()), 48u);
    ExpectCorners(jxl.dib(), {Blue, Red, White, Green}, "jxl orientation 6");
    EXPECT_EQ(ExifText(jxl.dib(), FIMD_EXIF_MAIN, "Orientation"), "top, left side");
  }
}

TEST_F(NewFormatsTest, DeepAndTransparentPicturesKeepTheirDepthAndAlpha) {
  const QString deep = newfiles::QuadrantPng(dir, QStringLiteral("deep.png"), false, true);
  const QString alpha = newfiles::QuadrantPng(dir, QStringLiteral("alpha.png"), true, false);
  const struct {
    QString source;
    const char* name;
    QStringList options;
    FREE_IMAGE_TYPE type;
    unsigned bpp;
  } cases[] = {
      {deep, "ten.heic", {QStringLiteral("-b"), QStringLiteral("10")}, FIT_RGB16, 48},
      {deep, "ten.avif", {QStringLiteral("-d"), QStringLiteral("10")}, FIT_RGB16, 48},
      {deep, "twelve.avif", {QStringLiteral("-d"), QStringLiteral("12")}, FIT_RGB16, 48},
      {deep, "sixteen.jxl", {}, FIT_RGB16, 48},
      {alpha, "alpha.heic", {}, FIT_BITMAP, 32},
      {alpha, "alpha.avif", {}, FIT_BITMAP, 32},
      {alpha, "alpha.jxl", {}, FIT_BITMAP, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TDecoded decoded;
    Decode(decoded, newfiles::Encode(dir, c.source, QLatin1String(c.name), c.options));
    ASSERT_NE(decoded.dib(), nullptr);
    EXPECT_EQ(FreeImage_GetImageType(decoded.dib()), c.type);
    EXPECT_EQ(FreeImage_GetBPP(decoded.dib()), c.bpp);
    if (c.bpp != 32) ExpectCorners(decoded.dib(), {Red, Green, Blue, White}, c.name);
    if (c.bpp == 32) {
      // Clear pixels may lose their colour; the opaque ones keep it.
      EXPECT_NEAR(newfiles::PixelAt(decoded.dib(), 16, 12).rgb[0], 255, 40);
      EXPECT_NEAR(newfiles::PixelAt(decoded.dib(), 16, 36).rgb[2], 255, 40);
      // The source's alpha is 255 on the left half and 0 on the right.
      EXPECT_GT(newfiles::PixelAt(decoded.dib(), 16, 12).alpha, 200);
      EXPECT_LT(newfiles::PixelAt(decoded.dib(), 48, 12).alpha, 60);
    }
  }
}

TEST_F(NewFormatsTest, ACameraRawFileShowsItsPreviewUprightWithTheFilesExif) {
  dngtest::TDngLayout layout;
  layout.previewJpeg = newfiles::QuadrantJpegBytes(false, 0);
  layout.previewWidth = 64;
  layout.previewHeight = 48;
  layout.orientation = 6;
  const QString nef = dir.Write(QStringLiteral("DSC_0001.NEF"), dngtest::Dng(layout));

  TDecoded upright;
  Decode(upright, nef, JPEG_EXIFROTATE);
  ASSERT_EQ(upright.result.status, decoder::TReplyStatus::Decoded);
  EXPECT_EQ(upright.result.fif, FIF_RAW);
  // The preview (64 x 48), not the 32 x 24 mosaic, turned by the file's orientation.
  EXPECT_EQ(FreeImage_GetWidth(upright.dib()), 48u);
  EXPECT_EQ(FreeImage_GetHeight(upright.dib()), 64u);
  ExpectCorners(upright.dib(), {Blue, Red, White, Green}, "NEF, orientation 6");
  EXPECT_EQ(ExifText(upright.dib(), FIMD_EXIF_MAIN, "Make"), "Velvane");
  EXPECT_EQ(ExifText(upright.dib(), FIMD_EXIF_EXIF, "ISOSpeedRatings"), "200");
  // Nothing may turn the upright preview again.
  const std::string orientation = ExifText(upright.dib(), FIMD_EXIF_MAIN, "Orientation");
  EXPECT_TRUE(orientation.empty() || orientation == "top, left side") << orientation;

  // The preview is shown as the camera shows it, whatever the EXIF setting:
  // LibRaw gives it the file's orientation and FreeImage always applies it.
  TDecoded stored;
  Decode(stored, nef, 0);
  ASSERT_NE(stored.dib(), nullptr);
  ExpectCorners(stored.dib(), {Blue, Red, White, Green}, "NEF, EXIF rotation off");

  // Identified by its content, not as the TIFF it looks like at first.
  decoder::TWorkerAsk identify;
  identify.kind = decoder::TRequestKind::Identify;
  const QString renamed = dir.Write(QStringLiteral("no-name"), dngtest::Dng(layout));
  const std::string name = QFile::encodeName(renamed).toStdString();
  EXPECT_EQ(decoder::DecodeFile(decoder::OpenRegularFile(name), name, 0, identify).fif, FIF_RAW);
}

// heif-enc wraps every picture in a grid whose output size is stored apart
// from the size the file states; libheif allocates that canvas before any
// tile is read, and returns it, mostly uninitialised, as the picture.
TEST_F(NewFormatsTest, AGridLargerThanThePictureItStatesIsRefused) {
  const QString source = newfiles::QuadrantJpeg(dir, QStringLiteral("grid.jpg"), false, 0);
  QByteArray bytes = testimg::ReadFile(newfiles::Encode(dir, source, QStringLiteral("grid.heic")));
  const qsizetype idat = bytes.indexOf("idat");
  ASSERT_GT(idat, 0);
  const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           static_cast<std::size_t>(bytes.size()));
  TFreeBitmap stated(decoder::DecodeHeif(file, false));
  ASSERT_TRUE(stated.IsValid());
  // The grid's 16-bit output width and height follow its version, flags,
  // rows and columns.
  bytes.replace(idat + 8, 4, QByteArray::fromHex("0FA00FA0"));
  const std::span<const std::uint8_t> wide(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           static_cast<std::size_t>(bytes.size()));
  EXPECT_FALSE(TFreeBitmap(decoder::DecodeHeif(wide, false)).IsValid());
}

}  // namespace
