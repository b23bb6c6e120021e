// A decode through the worker gives the bitmap an in-process FreeImage load
// gives: pixel for pixel and tag for tag, for every format FreeImage writes.
#include "bitmap_compare.h"

#include "decoder/bitmap_transfer.h"
#include "decoder/decoder_client.h"
#include "platform/free_bitmap.h"
#include "support/images.h"
#include "support/temp_folder.h"
#include "viewer/image_loader.h"

#include <gtest/gtest.h>

#include <fstream>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using decoder::TDecoderClient;
using decoder::TLoadOutcome;
using decoder::TLoadResult;

void SetTag(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, const char* key, WORD id, const char* text) {
  FITAG* tag = FreeImage_CreateTag();
  FreeImage_SetTagKey(tag, key);
  FreeImage_SetTagID(tag, id);
  FreeImage_SetTagType(tag, FIDT_ASCII);
  const DWORD length = static_cast<DWORD>(std::strlen(text) + 1);
  FreeImage_SetTagCount(tag, length);
  FreeImage_SetTagLength(tag, length);
  FreeImage_SetTagValue(tag, text);
  FreeImage_SetMetadata(model, dib, key, tag);
  FreeImage_DeleteTag(tag);
}

// Pixels that differ from row to row and column to column, in any type.
void FillPattern(FIBITMAP* dib) {
  const unsigned lineBytes = FreeImage_GetLine(dib);
  for (unsigned y = 0; y < FreeImage_GetHeight(dib); ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, static_cast<int>(y));
    for (unsigned x = 0; x < lineBytes; ++x) line[x] = static_cast<BYTE>((x * 7 + y * 13) ^ (x >> 3));
  }
  if (FreeImage_GetImageType(dib) == FIT_FLOAT || FreeImage_GetImageType(dib) == FIT_RGBF ||
      FreeImage_GetImageType(dib) == FIT_RGBAF) {
    for (unsigned y = 0; y < FreeImage_GetHeight(dib); ++y) {
      auto* line = reinterpret_cast<float*>(FreeImage_GetScanLine(dib, static_cast<int>(y)));
      for (unsigned i = 0; i < lineBytes / sizeof(float); ++i) line[i] = static_cast<float>((i + y) % 17) / 16.0f;
    }
  }
}

struct TSource {
  const char* name;
  std::function<FIBITMAP*()> make;
};

std::vector<TSource> Sources() {
  return {
      {"rgb24",
       [] {
         FIBITMAP* dib = FreeImage_Allocate(37, 23, 24);
         FillPattern(dib);
         FreeImage_SetDotsPerMeterX(dib, 3780);
         FreeImage_SetDotsPerMeterY(dib, 2835);
         SetTag(dib, FIMD_COMMENTS, "Comment", 0, "made by the transfer test");
         SetTag(dib, FIMD_EXIF_MAIN, "Make", 0x010F, "Velvane Test Camera");
         const char icc[] = "a fake ICC profile of some bytes";
         FreeImage_CreateICCProfile(dib, const_cast<char*>(icc), sizeof icc);
         return dib;
       }},
      {"rgba32",
       [] {
         FIBITMAP* dib = FreeImage_Allocate(19, 11, 32);
         FillPattern(dib);
         return dib;
       }},
      {"palette8",
       [] {
         FIBITMAP* dib = FreeImage_Allocate(21, 9, 8);
         FillPattern(dib);
         RGBQUAD* pal = FreeImage_GetPalette(dib);
         for (int i = 0; i < 256; ++i)
           pal[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0};
         BYTE table[256];
         for (int i = 0; i < 256; ++i) table[i] = i == 5 ? 0 : 255;
         FreeImage_SetTransparencyTable(dib, table, 256);
         RGBQUAD background{10, 20, 30, 0};
         FreeImage_SetBackgroundColor(dib, &background);
         return dib;
       }},
      {"grey8",
       [] {
         FIBITMAP* dib = FreeImage_Allocate(17, 13, 8);
         FillPattern(dib);
         RGBQUAD* pal = FreeImage_GetPalette(dib);
         for (int i = 0; i < 256; ++i)
           pal[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
         return dib;
       }},
      {"palette4",
       [] {
         FIBITMAP* dib = FreeImage_Allocate(15, 7, 4);
         FillPattern(dib);
         RGBQUAD* pal = FreeImage_GetPalette(dib);
         for (int i = 0; i < 16; ++i)
           pal[i] = RGBQUAD{static_cast<BYTE>(i * 16), 0, static_cast<BYTE>(255 - i * 16), 0};
         return dib;
       }},
      {"mono1",
       [] {
         FIBITMAP* dib = FreeImage_Allocate(33, 9, 1);
         FillPattern(dib);
         RGBQUAD* pal = FreeImage_GetPalette(dib);
         pal[0] = RGBQUAD{0, 0, 0, 0};
         pal[1] = RGBQUAD{255, 255, 255, 0};
         return dib;
       }},
      {"rgb565",
       [] {
         FIBITMAP* dib = FreeImage_Allocate(13, 5, 16, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK);
         FillPattern(dib);
         return dib;
       }},
      {"uint16",
       [] {
         FIBITMAP* dib = FreeImage_AllocateT(FIT_UINT16, 11, 7, 16);
         FillPattern(dib);
         return dib;
       }},
      {"rgb16",
       [] {
         FIBITMAP* dib = FreeImage_AllocateT(FIT_RGB16, 11, 7, 48);
         FillPattern(dib);
         return dib;
       }},
      {"rgba16",
       [] {
         FIBITMAP* dib = FreeImage_AllocateT(FIT_RGBA16, 9, 5, 64);
         FillPattern(dib);
         return dib;
       }},
      {"float",
       [] {
         FIBITMAP* dib = FreeImage_AllocateT(FIT_FLOAT, 9, 6, 32);
         FillPattern(dib);
         return dib;
       }},
      {"rgbf",
       [] {
         FIBITMAP* dib = FreeImage_AllocateT(FIT_RGBF, 9, 6, 96);
         FillPattern(dib);
         return dib;
       }},
      {"rgbaf",
       [] {
         FIBITMAP* dib = FreeImage_AllocateT(FIT_RGBAF, 7, 4, 128);
         FillPattern(dib);
         return dib;
       }},
  };
}

// The in-process load the viewer made before the worker existed.
FIBITMAP* InProcessLoad(const QString& path, int flags) {
  const QByteArray native = path.toUtf8();
  FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(native.constData(), 0);
  if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(native.constData());
  return fif == FIF_UNKNOWN ? nullptr : FreeImage_Load(fif, native.constData(), flags);
}

TLoadResult WorkerLoad(const QString& path, int flags) {
  TDecoderClient& client = TDecoderClient::Shared();
  client.StartLoad(DecoderPath(path), flags);
  client.WaitLoad(-1);
  return client.TakeLoad();
}

void ExpectTransferMatches(const QString& path, int flags, const std::string& where) {
  FIBITMAP* expected = InProcessLoad(path, flags);
  TLoadResult got = WorkerLoad(path, flags);
  if (!expected) {
    EXPECT_NE(got.outcome, TLoadOutcome::Decoded) << where;
  } else {
    ASSERT_EQ(got.outcome, TLoadOutcome::Decoded) << where;
    ExpectSameBitmap(expected, got.bitmap.Dib(), where);
    TFreeBitmap{expected}.Clear();
  }
}

TEST(DecoderTransfer, EqualsAnInProcessLoadForEveryFormatFreeImageWrites) {
  TempFolder dir;
  int compared = 0;
  for (int f = 0; f < FreeImage_GetFIFCount(); ++f) {
    const auto fif = static_cast<FREE_IMAGE_FORMAT>(f);
    if (!FreeImage_FIFSupportsWriting(fif) || !FreeImage_FIFSupportsReading(fif)) continue;
    const char* ext = FreeImage_GetFormatFromFIF(fif);
    for (const TSource& source : Sources()) {
      FIBITMAP* dib = source.make();
      // FreeImage's PSD encoder overruns its buffer on 1-bit pictures (the
      // viewer's save routine refuses them), so none is written here either.
      const bool brokenEncoder = fif == FIF_PSD && FreeImage_GetBPP(dib) == 1;
      const bool exportable = !brokenEncoder && FreeImage_FIFSupportsExportType(fif, FreeImage_GetImageType(dib)) &&
                              (FreeImage_GetImageType(dib) != FIT_BITMAP ||
                               FreeImage_FIFSupportsExportBPP(fif, static_cast<int>(FreeImage_GetBPP(dib))));
      const QString path =
          dir.File(QStringLiteral("%1-%2.%3")
                       .arg(QLatin1String(ext), QLatin1String(source.name), QString::fromLatin1(ext).toLower()));
      const bool saved = exportable && testimg::Save(dib, fif, path, 0, false);
      TFreeBitmap{dib}.Clear();
      if (!saved) continue;
      ExpectTransferMatches(path, JPEG_EXIFROTATE, std::string(ext) + " " + source.name);
      ++compared;
    }
  }
  EXPECT_GT(compared, 40) << "too few format and depth pairs could be written";
  // Every one of them went through a worker locked in by its filter.
  std::ifstream status("/proc/" + std::to_string(TDecoderClient::Shared().WorkerPid()) + "/status");
  std::string line;
  while (std::getline(status, line) && line.rfind("Seccomp:", 0) != 0) {
  }
  EXPECT_EQ(line, "Seccomp:\t2");
}

TEST(DecoderTransfer, LargeBitmapsTravelInTheMemoryTheyWereDecodedIn) {
  // Beyond a megabyte the worker's bitmap lives in a memfd of its own,
  // whose rows start wherever FreeImage put them.
  TempFolder dir;
  for (const FREE_IMAGE_FORMAT fif : {FIF_PNG, FIF_JPEG, FIF_BMP, FIF_TIFF, FIF_TARGA}) {
    for (const int bpp : {8, 24, 32}) {
      FIBITMAP* dib = FreeImage_Allocate(1100, 900, bpp);
      FillPattern(dib);
      if (bpp == 8) {
        RGBQUAD* pal = FreeImage_GetPalette(dib);
        for (int i = 0; i < 256; ++i) pal[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i / 2), 7, 0};
      }
      const QString path = dir.File(QStringLiteral("large-%1-%2").arg(fif).arg(bpp));
      const bool saved = FreeImage_FIFSupportsExportBPP(fif, bpp) && testimg::Save(dib, fif, path, 0, false);
      TFreeBitmap{dib}.Clear();
      if (saved)
        ExpectTransferMatches(path, JPEG_EXIFROTATE, "large " + std::to_string(fif) + " " + std::to_string(bpp));
    }
  }
}

TEST(DecoderTransfer, CameraJpegKeepsEveryTagAndTheExifRotation) {
  ExpectTransferMatches(QString::fromUtf8(SAMPLE_IMAGE), JPEG_EXIFROTATE, "sample, rotated");
  ExpectTransferMatches(QString::fromUtf8(SAMPLE_IMAGE), 0, "sample");
  TempFolder dir;
  const QString plain = dir.File("plain.jpg");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(40, 30, 0x336699), FIF_JPEG, plain));
  const QString turned = dir.Write("turned.jpg", testimg::WithExifOrientation(testimg::ReadFile(plain), 6));
  ExpectTransferMatches(turned, JPEG_EXIFROTATE, "orientation 6, rotated");
  ExpectTransferMatches(turned, 0, "orientation 6");
}

TEST(DecoderTransfer, TheBitmapWorksWithEveryLaterFreeImageCall) {
  TempFolder dir;
  TFreeBitmap bitmap;
  ASSERT_TRUE(LoadImageFile(bitmap, QString::fromUtf8(SAMPLE_IMAGE), true));
  ASSERT_TRUE(bitmap.IsValid());
  FIBITMAP* dib = bitmap.Dib();
  TFreeBitmap rotated(FreeImage_Rotate(dib, 90));
  EXPECT_EQ(rotated.Width(), bitmap.Height());
  TFreeBitmap scaled(FreeImage_Rescale(dib, 64, 48, FILTER_BILINEAR));
  EXPECT_EQ(scaled.Width(), 64u);
  TFreeBitmap grey(FreeImage_ConvertToGreyscale(dib));
  EXPECT_TRUE(grey.IsValid());
  EXPECT_TRUE(FreeImage_AdjustGamma(dib, 1.2));
  EXPECT_TRUE(FreeImage_FlipHorizontal(dib));
  EXPECT_TRUE(FreeImage_FlipVertical(dib));
  EXPECT_TRUE(FreeImage_AdjustBrightness(dib, 10));
  const QString saved = dir.File("saved.png");
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, dib, saved.toUtf8().constData(), 0));
  TFreeBitmap back(FreeImage_Load(FIF_PNG, saved.toUtf8().constData(), 0));
  EXPECT_EQ(back.Width(), bitmap.Width());
  // Handed out, the bitmap becomes one of FreeImage's own.
  FIBITMAP* released = bitmap.Release();
  ASSERT_TRUE(released);
  EXPECT_FALSE(bitmap.IsValid());
  TFreeBitmap{released}.Clear();
}

}  // namespace

namespace {

TEST(DecoderTransfer, ADamagedDescriptionIsRefusedNotTrusted) {
  FIBITMAP* dib = FreeImage_Allocate(16, 8, 8);
  FillPattern(dib);
  SetTag(dib, FIMD_COMMENTS, "Comment", 0, "a comment");
  FIBITMAP* thumb = FreeImage_Allocate(4, 2, 24);
  FreeImage_SetThumbnail(dib, thumb);
  TFreeBitmap{thumb}.Clear();
  const std::vector<std::uint8_t> blob = decoder::DescribeBitmap(dib);
  std::vector<std::uint8_t> pixels(decoder::PixelBytes(dib));
  std::memcpy(pixels.data(), FreeImage_GetBits(dib), pixels.size());

  FIBITMAP* whole = decoder::RebuildBitmap(blob.data(), blob.size(), pixels.data(), pixels.size());
  ASSERT_TRUE(whole);
  ExpectSameBitmap(dib, whole, "rebuilt");
  TFreeBitmap{whole}.Clear();
  EXPECT_FALSE(decoder::RebuildBitmap(blob.data(), blob.size(), pixels.data(), pixels.size() - 1))
      << "rows that do not fit the pixels";

  int refused = 0;
  for (std::size_t n = 0; n < blob.size(); ++n) {
    FIBITMAP* cut = decoder::RebuildBitmap(blob.data(), n, pixels.data(), pixels.size());
    if (!cut) ++refused;
    TFreeBitmap{cut}.Clear();
  }
  EXPECT_EQ(refused, static_cast<int>(blob.size())) << "a truncated description was taken";
  // Any byte set to 0xFF: refused or rebuilt, never a crash or a huge allocation.
  for (std::size_t i = 0; i < blob.size(); ++i) {
    std::vector<std::uint8_t> bad = blob;
    bad[i] = 0xFF;
    TFreeBitmap{decoder::RebuildBitmap(bad.data(), bad.size(), pixels.data(), pixels.size())}.Clear();
  }
  TFreeBitmap{dib}.Clear();
}

}  // namespace
