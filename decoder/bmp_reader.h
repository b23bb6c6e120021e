#pragma once

// A reader of our own for the BMP files FreeImage 3.18 refuses: those with
// the V4 and V5 info headers (108 and 124 bytes; ImageMagick's default, any
// 32-bit BMP with alpha, and many Windows tools' output), and the 52- and
// 56-byte bit-field headers. It reads palette images of 1, 4 and 8 bits,
// 24-bit colour, and 16- and 32-bit pixels laid out by bit masks (with an
// alpha mask, 32-bit with alpha), bottom-up or top-down, and an embedded
// colour profile, into the kind of bitmap FreeImage makes of an older BMP.
// Run-length and embedded JPEG or PNG data are not read.
//
// It reads untrusted files: every size and offset is checked against the
// file before it is used.

#include <FreeImage.h>

#include <cstdio>

namespace decoder {

// Decodes the BMP file open in file (read from its start). Null when it is
// not a BMP this reader takes, or is damaged.
FIBITMAP* ReadBmp(std::FILE* file);

}  // namespace decoder
