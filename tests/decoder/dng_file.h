#pragma once

#include <QByteArray>

// A minimal camera RAW file in the DNG layout, written byte by byte: a main
// directory holding the camera's full-size JPEG preview (with the make,
// model, orientation and a pointer to the EXIF directory), and one sub-
// directory holding a small 16-bit Bayer mosaic, as cameras write them.
namespace dngtest {

struct TDngLayout {
  QByteArray previewJpeg;  // the preview's JPEG stream
  int previewWidth = 0;
  int previewHeight = 0;
  int rawWidth = 32;  // the mosaic's size (even numbers)
  int rawHeight = 24;
  int orientation = 1;  // the main directory's orientation tag
  unsigned iso = 200;   // the EXIF directory's ISO speed
  // Lies, for hostile files (0: tell the truth): the mosaic's width as the
  // directory states it, and where the preview is said to start.
  unsigned statedRawWidth = 0;
  unsigned statedPreviewOffset = 0;
};

QByteArray Dng(const TDngLayout& layout);

}  // namespace dngtest
