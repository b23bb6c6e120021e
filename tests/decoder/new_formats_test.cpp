// HEIF, AVIF and JPEG XL files made by Debian's encoders, and camera RAW
// files written here, decode in the worker into the bitmaps the viewer takes:
// size, pixels within the encoders' error, depth, colour profile, EXIF, and
// the file's own orientation applied once.
#include "dng_file.h"
#include "new_format_files.h"

#include "decoder/decoded_picture.h"
#include "decoder/extra_plugins.h"
#include "decoder/file_stamp.h"
#include "decoder/heif_decoder.h"
#include "decoder/hevc_decoder.h"
#include "decoder/worker_decode.h"
#include "platform/freeimage_setup.h"
#include "support/images.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <libheif/heif.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

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

// A picture with detail everywhere, so that every block of it is coded with
// residuals, at 8 or 16 bits a channel; 352 x 200 is several rows of coding
// blocks, and no whole number of them.
QString TexturedPng(const TempFolder& dir, const QString& name, bool deep) {
  constexpr unsigned Width = 352, Height = 200;
  FIBITMAP* dib = deep ? FreeImage_AllocateT(FIT_RGB16, Width, Height) : FreeImage_Allocate(Width, Height, 24);
  std::uint32_t noise = 12345;
  for (unsigned y = 0; y < Height; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, y);
    for (unsigned x = 0; x < Width; ++x) {
      noise = noise * 1103515245u + 12345u;
      const unsigned value[3] = {(x * 5 + (noise >> 26)) & 255, (y * 3 + x / 7) & 255, ((x ^ y) + (noise >> 28)) & 255};
      for (unsigned c = 0; c < 3; ++c) {
        if (deep)
          reinterpret_cast<WORD*>(row)[3 * x + c] = static_cast<WORD>(value[c] * 257 + (noise >> 24 & 0xF0));
        else
          row[3 * x + (2 - c)] = static_cast<BYTE>(value[c]);
      }
    }
  }
  const QString path = dir.File(name);
  return testimg::Save(dib, FIF_PNG, path) ? path : QString();
}

// The planes of a HEIF file's primary picture when the named HEVC decoder
// decodes it (libheif turns them into planes of R, G and B at full size
// before it hands them out); none when it does not decode.
std::vector<QByteArray> CodedPlanes(const QByteArray& file, const char* decoderId) {
  std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
  if (heif_context_read_from_memory_without_copy(context.get(), file.constData(), static_cast<std::size_t>(file.size()),
                                                 nullptr)
          .code != heif_error_Ok)
    return {};
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return {};
  std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(rawHandle, heif_image_handle_release);
  std::unique_ptr<heif_decoding_options, void (*)(heif_decoding_options*)> options(heif_decoding_options_alloc(),
                                                                                   heif_decoding_options_free);
  options->decoder_id = decoderId;
  heif_image* rawImage = nullptr;
  if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_undefined, heif_chroma_undefined, options.get())
          .code != heif_error_Ok)
    return {};
  std::unique_ptr<heif_image, void (*)(const heif_image*)> image(rawImage, heif_image_release);
  std::vector<QByteArray> planes;
  for (const heif_channel channel :
       {heif_channel_Y, heif_channel_Cb, heif_channel_Cr, heif_channel_R, heif_channel_G, heif_channel_B}) {
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), channel, &stride);
    if (!plane) continue;
    const int width = heif_image_get_width(image.get(), channel);
    const int height = heif_image_get_height(image.get(), channel);
    const int bytes = heif_image_get_bits_per_pixel_range(image.get(), channel) > 8 ? 2 : 1;
    QByteArray pixels;
    for (int y = 0; y < height; ++y)
      pixels.append(reinterpret_cast<const char*>(plane) + static_cast<std::ptrdiff_t>(y) * stride, width * bytes);
    planes.push_back(pixels);
  }
  return planes;
}

// Our HEVC decoder runs the rows of a wavefront-coded picture on several
// threads; what it hands libheif must be what libheif's own decoder makes,
// sample for sample, at every depth and with or without wavefronts.
TEST_F(NewFormatsTest, OurHevcDecoderGivesTheSamePlanesAsLibheifsOwn) {
  decoder::RegisterHevcDecoder();
  decoder::LimitHevcPictureSide(decoder::MaxPictureSide);
  const QString eight = TexturedPng(dir, QStringLiteral("eight.png"), false);
  const QString sixteen = TexturedPng(dir, QStringLiteral("sixteen.png"), true);
  const struct {
    QString source;
    const char* name;
    QStringList options;
    std::size_t planes;
  } cases[] = {
      {eight, "wavefront.heic", {}, 3},
      {eight, "rows.heic", {QStringLiteral("-p"), QStringLiteral("x265:wpp=0")}, 3},
      {eight, "full-chroma.heic", {QStringLiteral("-p"), QStringLiteral("chroma=444")}, 3},
      {sixteen, "ten.heic", {QStringLiteral("-b"), QStringLiteral("10")}, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray file = testimg::ReadFile(newfiles::Encode(dir, c.source, QLatin1String(c.name), c.options));
    ASSERT_FALSE(file.isEmpty());
    const std::vector<QByteArray> ours = CodedPlanes(file, decoder::HevcDecoderId);
    ASSERT_EQ(ours.size(), c.planes);
    EXPECT_GE(ours[0].size(), 352 * 200);
    const std::vector<QByteArray> theirs = CodedPlanes(file, "libde265");
    ASSERT_EQ(theirs.size(), c.planes);
    for (std::size_t plane = 0; plane < c.planes; ++plane)
      EXPECT_TRUE(ours[plane] == theirs[plane]) << "plane " << plane;
  }
}

TEST_F(NewFormatsTest, AnHevcPictureLargerThanTheFileAllowsIsRefused) {
  decoder::RegisterHevcDecoder();
  const QString source = TexturedPng(dir, QStringLiteral("source.png"), false);
  const QByteArray good = testimg::ReadFile(newfiles::Encode(dir, source, QStringLiteral("good.heic")));
  ASSERT_FALSE(good.isEmpty());
  decoder::LimitHevcPictureSide(decoder::MaxPictureSide);
  ASSERT_FALSE(CodedPlanes(good, decoder::HevcDecoderId).empty());

  // A coded picture larger than the file may hold is refused before
  // libde265 allocates it (the HEIF reader sets the limit for each file):
  // this one is coded 352 wide, as its parameter set says.
  decoder::LimitHevcPictureSide(351);
  EXPECT_TRUE(CodedPlanes(good, decoder::HevcDecoderId).empty());
  decoder::LimitHevcPictureSide(352);
  EXPECT_FALSE(CodedPlanes(good, decoder::HevcDecoderId).empty());
  decoder::LimitHevcPictureSide(decoder::MaxPictureSide);
}

}  // namespace
