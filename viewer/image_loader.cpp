#include "viewer/image_loader.h"

#include "platform/folder_enum.h"

#include <QByteArray>

int LoadFlags(bool exifRotation) { return exifRotation ? JPEG_EXIFROTATE : JPEG_DEFAULT; }

FREE_IMAGE_FORMAT IdentifyReadableFormat(const QString& path) {
  const QByteArray native = path.toUtf8();
  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  if (IsRegularFile(path)) fif = FreeImage_GetFileType(native.constData(), 0);
  if (fif == FIF_UNKNOWN) fif = FreeImage_GetFIFFromFilename(native.constData());
  if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) return FIF_UNKNOWN;
  return fif;
}

bool LoadImageFile(TFreeBitmap& bitmap, const QString& path, bool exifRotation) {
  const FREE_IMAGE_FORMAT fif = IdentifyReadableFormat(path);
  if (fif == FIF_UNKNOWN) return false;

  bitmap.Clear();
  // Only regular files are handed to the decoder: a fifo would block it and
  // a folder cannot hold an image, so both end as a failed decode.
  if (IsRegularFile(path))
    bitmap.Assign(FreeImage_Load(fif, path.toUtf8().constData(), LoadFlags(exifRotation)));
  if (bitmap.BPP() > 32) bitmap.Replace(FreeImage_ConvertTo32Bits(bitmap.Dib()));
  return true;
}

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString WindowCaption(const QString& path, unsigned width, unsigned height) {
  // One call fills every placeholder at once: a name holding "%2" or the like
  // is text, never a placeholder for the arguments after it.
  return QStringLiteral("%1  (%2 x %3) - %4")
      .arg(FileNamePart(path), QString::number(width), QString::number(height), QLatin1String(ApplicationTitle));
}

QString ResInfoCaption(unsigned width, unsigned height) {
  return QStringLiteral("Original: %1x%2").arg(QString::number(width), QString::number(height));
}
