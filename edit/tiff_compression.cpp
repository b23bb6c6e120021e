#include "edit/tiff_compression.h"

#include "edit/exif/exif_errors.h"
#include "edit/exif/tiff_reader.h"

#include <FreeImage.h>

namespace {

constexpr uint16_t CompressionTag = 0x0103;

enum : uint32_t {
  NoCompression = 1,
  Fax3 = 3,
  Fax4 = 4,
  Lzw = 5,
  AdobeDeflate = 8,
  PackBits = 32773,
  Deflate = 32946,
};

// The Compression tag of the first directory; 0 when it cannot be read.
uint32_t FirstCompression(std::span<const uint8_t> tiff) {
  try {
    const TTiffBlock block = ParseTiffHeader(tiff);
    TTiffValueBudget budget(tiff.size());
    const TTiffDirectory first = ReadTiffDirectory(block, block.FirstDirectory, budget);
    for (const TExifTag& tag : first.Tags)
      if (tag.ID == CompressionTag && tag.IsInteger() && tag.ElementCount > 0) return tag.ElementAsUInt(0);
  } catch (const EExifError&) {
  }
  return 0;
}

}  // namespace

int TiffCompressionFlags(std::span<const uint8_t> tiff, unsigned bpp) {
  switch (FirstCompression(tiff)) {
    case NoCompression: return TIFF_NONE;
    case Lzw: return TIFF_LZW;
    case AdobeDeflate: return TIFF_ADOBE_DEFLATE;
    case Deflate: return TIFF_DEFLATE;
    case PackBits: return TIFF_PACKBITS;
    case Fax3: return bpp == 1 ? TIFF_CCITTFAX3 : 0;
    case Fax4: return bpp == 1 ? TIFF_CCITTFAX4 : 0;
    default: return 0;
  }
}
