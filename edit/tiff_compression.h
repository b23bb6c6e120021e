#pragma once

// A TIFF file written again keeps the compression its first directory names,
// where that compression is lossless and FreeImage can write it; otherwise
// FreeImage's own (LZW).

#include <cstdint>
#include <span>

// FreeImage's TIFF save flag for the compression of tiff's first directory,
// for pictures of bpp bits (fax coding holds only 1-bit pictures); 0 for
// FreeImage's default. JPEG-compressed data is written losslessly rather
// than coded again.
int TiffCompressionFlags(std::span<const uint8_t> tiff, unsigned bpp);
