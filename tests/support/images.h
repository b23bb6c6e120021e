#pragma once

#include <FreeImage.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// Small FreeImage helpers for tests that need real image files.
namespace testimg {

// A 24-bit image filled with one colour (0xRRGGBB).
FIBITMAP* Solid24(unsigned width, unsigned height, std::uint32_t rgb);
// Writes dib to path in format fif with flags; true on success. Frees dib
// when takeOwnership is set.
bool Save(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, const QString& path, int flags = 0, bool takeOwnership = true);
// The bytes of a JPEG file with an Exif block whose only tag is the given
// orientation, inserted right after SOI.
QByteArray WithExifOrientation(const QByteArray& jpeg, std::uint16_t orientation);
QByteArray ReadFile(const QString& path);

// The mean red, green and blue (0..255) of ImageMagick's reading of path
// after options (such as "-colorspace sRGB"); false when convert fails.
bool MagickMeanRgb(const QString& path, const QStringList& options, double rgb[3]);

}  // namespace testimg
