// Painting a large photo into typical frames, against Qt's own nearest-pixel
// scaling of the same pixels to the same size; painting the same photo with
// a colour profile (ProPhoto RGB; CMYK inks through the standard press
// profile and through one of their own; grey through a grey profile),
// converted for the screen, against the same photo without one, for a first
// paint, a zoom step, a pan and a repaint in place; and decoding a
// 24-megapixel JPEG, against Qt's JPEG reader on the same file.
#include "viewer/image_loader.h"
#include "viewer/picture_painter.h"
#include "viewer/screen_colour.h"

#include <lcms2.h>

#include <benchmark/benchmark.h>

#include <QImage>
#include <QTemporaryDir>

#include <FreeImage.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
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

std::vector<unsigned char> SavedProfile(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<unsigned char> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

FIBITMAP* Tagged(FIBITMAP* photo, const std::vector<unsigned char>& profile) {
  FIBITMAP* dib = FreeImage_Clone(photo);
  if (!profile.empty())
    FreeImage_CreateICCProfile(dib, const_cast<unsigned char*>(profile.data()), static_cast<long>(profile.size()));
  return dib;
}

// ProPhoto RGB: wide primaries, D50 white, gamma 1.8.
std::vector<unsigned char> ProPhotoProfile() {
  const cmsCIExyYTRIPLE primaries{{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  std::vector<unsigned char> bytes = SavedProfile(cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves));
  cmsFreeToneCurve(curve);
  return bytes;
}

std::vector<unsigned char> GreyProfile() {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
  std::vector<unsigned char> bytes = SavedProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve));
  cmsFreeToneCurve(curve);
  return bytes;
}

// A press profile other than the standard one, when ghostscript's is there.
std::vector<unsigned char> OwnCmykProfile() {
  std::ifstream file("/usr/share/color/icc/ghostscript/ps_cmyk.icc", std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The 32-bit photo's bytes taken as CMYK inks, with a black that runs from
// none to half across the picture.
FIBITMAP* AsInks(FIBITMAP* photo, const std::vector<unsigned char>& profile) {
  FIBITMAP* dib = Tagged(photo, profile);
  FreeImage_GetICCProfile(dib)->flags |= FIICC_COLOR_IS_CMYK;
  for (int y = 0; y < kHeight; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, y);
    for (int x = 0; x < kWidth; ++x) line[4 * x + 3] = static_cast<BYTE>((x + y) * 128 / (kWidth + kHeight) + (x & 7));
  }
  return dib;
}

// The 24-bit photo's green as grey levels.
FIBITMAP* MakeGrey(FIBITMAP* photo) {
  FIBITMAP* dib = FreeImage_Allocate(kWidth, kHeight, 8);
  for (int y = 0; y < kHeight; ++y) {
    const BYTE* src = FreeImage_GetScanLine(photo, y);
    BYTE* dst = FreeImage_GetScanLine(dib, y);
    for (int x = 0; x < kWidth; ++x) dst[x] = src[3 * x + FI_RGBA_GREEN];
  }
  return dib;
}

struct Photos {
  Photos()
      : bpp24(MakePhoto(24)),
        bpp32(MakePhoto(32)),
        grey(MakeGrey(bpp24.Dib())),
        tagged24(Tagged(bpp24.Dib(), ProPhotoProfile())),
        inks(AsInks(bpp32.Dib(), {})),
        ownInks(AsInks(bpp32.Dib(), OwnCmykProfile())),
        taggedGrey(Tagged(grey.Dib(), GreyProfile())),
        q24(AsQImage(bpp24.Dib())),
        q32(AsQImage(bpp32.Dib())) {}
  TFreeBitmap bpp24, bpp32, grey, tagged24, inks, ownInks, taggedGrey;
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

// A colour-managed picture against the same photo without a profile,
// painted into 1920 x 1080, fitted, each iteration one paint of each,
// interleaved, with the same view. range(0) the picture: 0 ProPhoto RGB,
// 1 CMYK through the standard profile and 2 through one of its own (each
// against the 24-bit photo: the 32-bit one is transparent, and composited
// at every paint), 3 grey through a grey profile (against the grey photo). range(1) the paint: 0 the first paint of
// a picture (its profile seen before: a step to the next photo of the same
// camera), 1 a zoom step (every pixel drawn again), 2 a pan of 20 pixels, 3
// a repaint in place (an overlay, the panel or a message changed). The
// counters give the medians of both, in milliseconds, and their ratio.
void BM_ColourManagedFrame(benchmark::State& state) {
  Photos& photos = Shared();
  TFreeBitmap* pairs[4][2] = {{&photos.tagged24, &photos.bpp24},
                              {&photos.inks, &photos.bpp24},
                              {&photos.ownInks, &photos.bpp24},
                              {&photos.taggedGrey, &photos.grey}};
  TFreeBitmap& managed = *pairs[state.range(0)][0];
  TFreeBitmap& plain = *pairs[state.range(0)][1];
  if (FreeImage_GetICCProfile(managed.Dib())->size == 0 && state.range(0) == 2) {
    state.SkipWithError("no second CMYK profile installed");
    return;
  }
  const int paint = static_cast<int>(state.range(1));
  QImage frame(1920, 1080, QImage::Format_RGB32);
  TScreenColour colour;
  struct TSide {
    TFreeBitmap* picture;
    TScreenColour* colour;
    TViewState view;
    TFreeBitmap copy;
    std::vector<double> ms;
  } sides[2] = {{&managed, &colour, {}, {}, {}}, {&plain, nullptr, {}, {}, {}}};
  for (TSide& side : sides) PaintPicture(frame, *side.picture, side.view, side.copy, side.colour);
  int step = 0;
  for (auto _ : state) {
    ++step;
    for (TSide& side : sides) {
      if (paint == 0) side.picture->Touch();
      if (paint == 1) side.view.fZoom = step % 2 ? 1.2f : 1.0f;
      if (paint == 2) side.view.iOffsetX = (step % 2 ? 20 : -20) * (step % 7);
      const auto start = std::chrono::steady_clock::now();
      PaintPicture(frame, *side.picture, side.view, side.copy, side.colour);
      benchmark::DoNotOptimize(frame.constBits());
      side.ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
  }
  const auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  const double managedMs = median(sides[0].ms), plainMs = median(sides[1].ms);
  state.counters["managed_ms"] = managedMs;
  state.counters["plain_ms"] = plainMs;
  state.counters["ratio"] = managedMs / plainMs;
  state.counters["lookups"] = colour.BuildCount();
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
BENCHMARK(BM_ColourManagedFrame)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2, 3}})
    ->ArgNames({"picture", "paint"})
    ->UseRealTime()
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
