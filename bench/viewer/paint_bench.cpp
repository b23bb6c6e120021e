// Painting a large photo into typical frames, against Qt's own nearest-pixel
// scaling of the same pixels to the same size; painting the same photo with
// a ProPhoto colour profile, and as CMYK inks through the standard press
// profile, converted for the screen, against the photo without either, when
// repainted in place, panned and zoomed; and decoding a 24-megapixel JPEG,
// against Qt's JPEG reader on the same file.
#include "viewer/image_loader.h"
#include "viewer/picture_painter.h"
#include "viewer/screen_colour.h"

#include <lcms2.h>

#include <benchmark/benchmark.h>

#include <QImage>
#include <QTemporaryDir>

#include <FreeImage.h>

#include <random>
#include <vector>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A photo-like bitmap: smooth gradients plus noise, so nothing compresses
// away and every row differs.
FIBITMAP* MakePhoto(unsigned bpp) {
  FIBITMAP* dib = FreeImage_Allocate(kWidth, kHeight, static_cast<int>(bpp));
  std::mt19937 rng(42);
  const unsigned step = bpp / 8;
  for (int y = 0; y < kHeight; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, y);
    for (int x = 0; x < kWidth; ++x) {
      BYTE* p = line + x * step;
      p[FI_RGBA_RED] = static_cast<BYTE>(x * 255 / kWidth + (rng() & 15));
      p[FI_RGBA_GREEN] = static_cast<BYTE>(y * 255 / kHeight + (rng() & 15));
      p[FI_RGBA_BLUE] = static_cast<BYTE>((x + y) & 255);
      if (bpp == 32) p[FI_RGBA_ALPHA] = 255;
    }
  }
  return dib;
}

QImage AsQImage(FIBITMAP* dib) {
  const unsigned bpp = FreeImage_GetBPP(dib);
  QImage img(kWidth, kHeight, bpp == 32 ? QImage::Format_RGB32 : QImage::Format_RGB888);
  for (int y = 0; y < kHeight; ++y) {
    const BYTE* src = FreeImage_GetScanLine(dib, kHeight - 1 - y);
    uchar* dst = img.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      const BYTE* p = src + x * (bpp / 8);
      if (bpp == 32) {
        reinterpret_cast<QRgb*>(dst)[x] = qRgb(p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE]);
      } else {
        dst[3 * x] = p[FI_RGBA_RED], dst[3 * x + 1] = p[FI_RGBA_GREEN], dst[3 * x + 2] = p[FI_RGBA_BLUE];
      }
    }
  }
  return img;
}

// The 24-bit photo again, tagged with a ProPhoto RGB profile.
FIBITMAP* WithProPhotoProfile(FIBITMAP* photo) {
  FIBITMAP* dib = FreeImage_Clone(photo);
  const cmsCIExyYTRIPLE primaries{{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<unsigned char> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  FreeImage_CreateICCProfile(dib, bytes.data(), static_cast<long>(size));
  cmsCloseProfile(profile);
  cmsFreeToneCurve(curve);
  return dib;
}

// The 32-bit photo's bytes taken as CMYK inks, without a profile of their own.
FIBITMAP* AsInks(FIBITMAP* photo) {
  FIBITMAP* dib = FreeImage_Clone(photo);
  FreeImage_GetICCProfile(dib)->flags |= FIICC_COLOR_IS_CMYK;
  return dib;
}

struct Photos {
  Photos()
      : bpp24(MakePhoto(24)), bpp32(MakePhoto(32)), tagged24(WithProPhotoProfile(bpp24.Dib())),
        inks(AsInks(bpp32.Dib())), q24(AsQImage(bpp24.Dib())), q32(AsQImage(bpp32.Dib())) {}
  TFreeBitmap bpp24, bpp32, tagged24, inks;
  QImage q24, q32;
};

Photos& Shared() {
  static Photos photos;
  return photos;
}

void BM_PaintPicture(benchmark::State& state) {
  const unsigned bpp = static_cast<unsigned>(state.range(0));
  const TFreeBitmap& dib = bpp == 32 ? Shared().bpp32 : Shared().bpp24;
  QImage frame(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), QImage::Format_RGB32);
  TViewState view;
  TFreeBitmap copy;
  for (auto _ : state) {
    PaintPicture(frame, dib, view, copy);
    benchmark::DoNotOptimize(frame.constBits());
  }
  state.counters["drawn_w"] = view.iDrawWidth;
}

// range(0): 1 paints the photo with its ProPhoto profile, 0 the same photo
// without a profile; both through the painter with the screen converter.
void BM_PaintPictureProfile(benchmark::State& state) {
  const TFreeBitmap& dib = state.range(0) ? Shared().tagged24 : Shared().bpp24;
  QImage frame(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), QImage::Format_RGB32);
  TViewState view;
  TFreeBitmap copy;
  TScreenColour colour;
  for (auto _ : state) {
    PaintPicture(frame, dib, view, copy, &colour);
    benchmark::DoNotOptimize(frame.constBits());
  }
  state.counters["transforms"] = colour.BuildCount();
}

// range(0): 0 the photo without a profile, 1 with its ProPhoto profile, 2
// as CMYK inks; range(1): 0 repainted in place (an overlay, the panel or a
// message changed), 1 panned 20 pixels each paint, 2 zoomed in and out a
// step each paint (every pixel converted again). 1920 x 1080, fitted.
void BM_PaintColourManaged(benchmark::State& state) {
  const TFreeBitmap& dib = state.range(0) == 2 ? Shared().inks : state.range(0) == 1 ? Shared().tagged24 : Shared().bpp24;
  QImage frame(1920, 1080, QImage::Format_RGB32);
  TViewState view;
  TFreeBitmap copy;
  TScreenColour colour;
  PaintPicture(frame, dib, view, copy, &colour);  // the first paint of the picture
  int step = 0;
  for (auto _ : state) {
    ++step;
    if (state.range(1) == 1) view.iOffsetX = (step % 2 ? 20 : -20) * (step % 7);
    if (state.range(1) == 2) view.fZoom = step % 2 ? 1.2f : 1.0f;
    PaintPicture(frame, dib, view, copy, &colour);
    benchmark::DoNotOptimize(frame.constBits());
  }
  state.counters["transforms"] = colour.BuildCount();
}

void BM_QtFastScaled(benchmark::State& state) {
  const QImage& src = state.range(0) == 32 ? Shared().q32 : Shared().q24;
  // The size our painter draws the picture at in the same frame.
  TViewState view;
  TDrawRect r;
  PlaceImage(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), kWidth, kHeight, view, r);
  for (auto _ : state) {
    QImage scaled = src.scaled(r.width, r.height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    benchmark::DoNotOptimize(scaled.constBits());
  }
}

const QString& JpegPath() {
  static QTemporaryDir dir;
  static const QString path = [] {
    const QString p = dir.path() + QStringLiteral("/photo24mp.jpg");
    FreeImage_Save(FIF_JPEG, Shared().bpp24.Dib(), p.toUtf8().constData(), JPEG_QUALITYGOOD);
    return p;
  }();
  return path;
}

void BM_LoadImageJpeg24MP(benchmark::State& state) {
  const QString& path = JpegPath();
  for (auto _ : state) {
    TFreeBitmap bitmap;
    LoadImageFile(bitmap, path, true);
    benchmark::DoNotOptimize(bitmap.Dib());
  }
}

void BM_QtLoadJpeg24MP(benchmark::State& state) {
  const QString& path = JpegPath();
  for (auto _ : state) {
    QImage img(path);
    benchmark::DoNotOptimize(img.constBits());
  }
}

void Frames(benchmark::internal::Benchmark* b) {
  for (int bpp : {24, 32}) {
    b->Args({bpp, 1920, 1080});
    b->Args({bpp, 3840, 2160});
  }
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_PaintPicture)->Apply(Frames);
BENCHMARK(BM_PaintPictureProfile)
    ->Args({0, 1920, 1080})
    ->Args({1, 1920, 1080})
    ->Args({0, 3840, 2160})
    ->Args({1, 3840, 2160})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintColourManaged)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtFastScaled)->Apply(Frames);
BENCHMARK(BM_LoadImageJpeg24MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtLoadJpeg24MP)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  FreeImage_Initialise(FALSE);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FreeImage_DeInitialise();
  return 0;
}
