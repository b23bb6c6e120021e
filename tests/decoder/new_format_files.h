#pragma once

#include "support/temp_folder.h"

#include <FreeImage.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

// Pictures of four coloured quadrants (red, green / blue, white on 64 x 48
// pixels), whose layout shows how a decode turned them, encoded by Debian's
// HEIF, AVIF and JPEG XL encoders.
namespace newfiles {

// A colour profile of another gamut than sRGB, from ghostscript's package.
inline const QString A98Profile = QStringLiteral("/usr/share/color/icc/ghostscript/a98.icc");

struct TCorner {
  int rgb[3];
  int alpha = 255;
};
inline constexpr TCorner Red{{255, 0, 0}};
inline constexpr TCorner Green{{0, 255, 0}};
inline constexpr TCorner Blue{{0, 0, 255}};
inline constexpr TCorner White{{255, 255, 255}};

// The pixel at (x, y), rows counted from the top, at 8 bits a channel.
TCorner PixelAt(FIBITMAP* dib, unsigned x, unsigned y);

// The quadrants as a PNG file: with alpha (opaque left half, clear right
// half) or at 16 bits a channel.
QString QuadrantPng(const TempFolder& dir, const QString& name, bool alpha, bool deep);
// As a JPEG stream, with the A98 profile when icc is set and an EXIF block
// holding the orientation when it is not 0.
QByteArray QuadrantJpegBytes(bool icc, int orientation);
QString QuadrantJpeg(const TempFolder& dir, const QString& name, bool icc, int orientation);

// source encoded into dir/name by heif-enc, avifenc or cjxl (by the name's
// extension) with the encoder's options; the path, or empty when the
// encoder failed.
QString Encode(const TempFolder& dir, const QString& source, const QString& name, const QStringList& options = {});

}  // namespace newfiles
