#pragma once

#include "edit/exif/exif_block.h"

#include <cstdint>
#include <vector>

// A block of image data (a strip, a tile, a JPEG stream) of a TIFF file:
// where it is in the source, how long, and where the rebuild puts it.
struct TDataBlock {
  uint64_t Source = 0, Size = 0, Offset = 0;
};

// Raises EUnsupportedTiffStructure: the image data does not match its strip
// or tile tags.
[[noreturn]] void RefuseImageData();

// Strips or tiles must be the ones the picture's size asks for, none empty,
// and, uncompressed, each at least as long as its rows: a reader meeting
// anything else guesses at the data from the size and reads bytes that the
// tags do not name. Where the layout tags are missing or odd the picture
// cannot be read anyway, and only the empty blocks are refused.
void CheckImageData(const TExifSection& tags, const std::vector<TDataBlock>& blocks, bool tiled);
