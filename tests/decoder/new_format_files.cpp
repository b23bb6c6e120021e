#include "new_format_files.h"

#include "platform/free_bitmap.h"
#include "support/images.h"

#include <QFileInfo>
#include <QProcess>

#include <cstdint>

namespace newfiles {

namespace {

FIBITMAP* Quadrants(bool alpha, bool deep) {
  constexpr unsigned W = 64, H = 48;
  const TCorner corners[] = {Red, Green, Blue, White};
  FIBITMAP* dib =
      deep ? FreeImage_AllocateT(FIT_RGB16, W, H, 48)
           : FreeImage_Allocate(W, H, alpha ? 32 : 24, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
  for (unsigned y = 0; y < H; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(H - 1 - y));
    for (unsigned x = 0; x < W; ++x) {
      const TCorner& c = corners[(y >= H / 2 ? 2 : 0) + (x >= W / 2 ? 1 : 0)];
      if (deep) {
        auto* p = reinterpret_cast<FIRGB16*>(row) + x;
        p->red = static_cast<WORD>(c.rgb[0] * 257);
        p->green = static_cast<WORD>(c.rgb[1] * 257);
        p->blue = static_cast<WORD>(c.rgb[2] * 257);
        continue;
      }
      BYTE* p = row + x * (alpha ? 4 : 3);
      p[FI_RGBA_RED] = static_cast<BYTE>(c.rgb[0]);
      p[FI_RGBA_GREEN] = static_cast<BYTE>(c.rgb[1]);
      p[FI_RGBA_BLUE] = static_cast<BYTE>(c.rgb[2]);
      if (alpha) p[FI_RGBA_ALPHA] = x < W / 2 ? 255 : 0;
    }
  }
  return dib;
}

}  // namespace

TCorner PixelAt(FIBITMAP* dib, unsigned x, unsigned y) {
  TCorner c{{0, 0, 0}};
  const unsigned h = FreeImage_GetHeight(dib);
  const BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(h - 1 - y));
  switch (FreeImage_GetImageType(dib)) {
    case FIT_RGB16:
    case FIT_RGBA16: {
      const unsigned n = FreeImage_GetImageType(dib) == FIT_RGB16 ? 3 : 4;
      const auto* p = reinterpret_cast<const WORD*>(row) + x * n;
      for (int i = 0; i < 3; ++i) c.rgb[i] = p[i] >> 8;
      if (n == 4) c.alpha = p[3] >> 8;
      break;
    }
    default: {
      const unsigned n = FreeImage_GetBPP(dib) / 8;
      const BYTE* p = row + x * n;
      c.rgb[0] = p[FI_RGBA_RED];
      c.rgb[1] = p[FI_RGBA_GREEN];
      c.rgb[2] = p[FI_RGBA_BLUE];
      if (n == 4) c.alpha = p[FI_RGBA_ALPHA];
    }
  }
  return c;
}

QString QuadrantPng(const TempFolder& dir, const QString& name, bool alpha, bool deep) {
  const QString path = dir.File(name);
  return testimg::Save(Quadrants(alpha, deep), FIF_PNG, path) ? path : QString();
}

QByteArray QuadrantJpegBytes(bool icc, int orientation) {
  FIBITMAP* dib = Quadrants(false, false);
  if (icc) {
    QByteArray profile = testimg::ReadFile(A98Profile);
    FreeImage_CreateICCProfile(dib, profile.data(), profile.size());
  }
  FIMEMORY* memory = FreeImage_OpenMemory();
  FreeImage_SaveToMemory(FIF_JPEG, dib, memory, JPEG_QUALITYSUPERB);
  TFreeBitmap{dib}.Clear();
  BYTE* data = nullptr;
  DWORD size = 0;
  FreeImage_AcquireMemory(memory, &data, &size);
  QByteArray jpeg(reinterpret_cast<const char*>(data), static_cast<int>(size));
  FreeImage_CloseMemory(memory);
  return orientation ? testimg::WithExifOrientation(jpeg, static_cast<std::uint16_t>(orientation)) : jpeg;
}

QString QuadrantJpeg(const TempFolder& dir, const QString& name, bool icc, int orientation) {
  return dir.Write(name, QuadrantJpegBytes(icc, orientation));
}

QString Encode(const TempFolder& dir, const QString& source, const QString& name, const QStringList& options) {
  const QString out = dir.File(name);
  const QString suffix = QFileInfo(name).suffix().toLower();
  QString program;
  QStringList arguments;
  if (suffix == QLatin1String("jxl")) {
    program = QStringLiteral("cjxl");
    arguments = QStringList{source, out} + options;
  } else if (suffix == QLatin1String("avif")) {
    program = QStringLiteral("avifenc");
    arguments = options + QStringList{source, out};
  } else {
    program = QStringLiteral("heif-enc");
    arguments = options + QStringList{QStringLiteral("-q"), QStringLiteral("90"), source, QStringLiteral("-o"), out};
  }
  QProcess encoder;
  encoder.setProcessChannelMode(QProcess::MergedChannels);
  encoder.start(program, arguments);
  if (!encoder.waitForFinished(120000) || encoder.exitStatus() != QProcess::NormalExit || encoder.exitCode() != 0 ||
      !QFileInfo(out).isFile()) {
    qWarning("%s failed: %s", qPrintable(program), encoder.readAll().constData());
    return QString();
  }
  return out;
}

}  // namespace newfiles
