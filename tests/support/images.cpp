#include "support/images.h"
#include "platform/free_bitmap.h"

#include <QFile>
#include <QProcess>

#include <cstring>

namespace testimg {

FIBITMAP* Solid24(unsigned width, unsigned height, std::uint32_t rgb) {
  FIBITMAP* dib = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24);
  RGBQUAD c{};
  c.rgbRed = static_cast<BYTE>(rgb >> 16);
  c.rgbGreen = static_cast<BYTE>(rgb >> 8);
  c.rgbBlue = static_cast<BYTE>(rgb);
  if (!dib || height == 0) return dib;
  // One row by pixel, the others copied from it: large pictures are made in
  // milliseconds.
  for (unsigned x = 0; x < width; ++x) FreeImage_SetPixelColor(dib, x, 0, &c);
  const BYTE* first = FreeImage_GetScanLine(dib, 0);
  for (unsigned y = 1; y < height; ++y) std::memcpy(FreeImage_GetScanLine(dib, int(y)), first, FreeImage_GetLine(dib));
  return dib;
}

bool Save(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, const QString& path, int flags, bool takeOwnership) {
  const bool ok = dib && FreeImage_Save(fif, dib, path.toUtf8().constData(), flags);
  if (takeOwnership) TFreeBitmap{dib}.Clear();
  return ok;
}

QByteArray WithExifOrientation(const QByteArray& jpeg, std::uint16_t orientation) {
  // APP1 "Exif": little-endian TIFF header, IFD0 with one SHORT tag 0x0112.
  QByteArray app1 = QByteArray::fromHex(
      "FFE10022457869660000"
      "49492A0008000000"
      "0100"
      "120103000100000000000000"
      "00000000");
  app1[10 + 8 + 2 + 8] = static_cast<char>(orientation & 0xFF);
  app1[10 + 8 + 2 + 9] = static_cast<char>(orientation >> 8);
  return jpeg.left(2) + app1 + jpeg.mid(2);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool MagickMeanRgb(const QString& path, const QStringList& options, double rgb[3]) {
  QProcess convert;
  convert.start(
      QStringLiteral("convert"),
      QStringList{path} + options +
          QStringList{QStringLiteral("-format"), QStringLiteral("%[fx:255*mean.r] %[fx:255*mean.g] %[fx:255*mean.b]"),
                      QStringLiteral("info:")});
  if (!convert.waitForFinished(60000) || convert.exitStatus() != QProcess::NormalExit || convert.exitCode() != 0)
    return false;
  const QStringList values = QString::fromLatin1(convert.readAllStandardOutput()).split(u' ', Qt::SkipEmptyParts);
  if (values.size() != 3) return false;
  bool ok = true;
  for (int i = 0; i < 3 && ok; ++i) rgb[i] = values[i].toDouble(&ok);
  return ok;
}

}  // namespace testimg
