// Painting a large photo into typical frames, against Qt's own nearest-pixel
// scaling of the same pixels to the same size; and decoding a 24-megapixel
// JPEG, against Qt's JPEG reader on the same file.
#include "viewer/image_loader.h"
#include "viewer/picture_painter.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QTemporaryDir>

#include <FreeImage.h>

#include <random>

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

struct Photos {
  Photos() : bpp24(MakePhoto(24)), bpp32(MakePhoto(32)), q24(AsQImage(bpp24.Dib())), q32(AsQImage(bpp32.Dib())) {}
  TFreeBitmap bpp24, bpp32;
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
