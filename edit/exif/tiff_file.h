#pragma once

#include "edit/exif/exif_block.h"
#include "edit/exif/output_pieces.h"

#include <cstdint>
#include <span>
#include <vector>

// The tags of a TIFF file's first directory that belong to the general
// section: description, make, model, orientation, resolution, software, date,
// artist, colour data, copyright, IPTC, the Exif and GPS pointers, PrintIM,
// and the BYTE-typed rating and Windows tags.
bool IsTiffFileGeneralTag(const TExifTag& tag);
void KeepTiffFileGeneralTags(TExifSection& general);

// Rebuilds a TIFF file: the header in the source's byte order, every directory
// of the source's chain written anew from offset 8 on with its values, then
// the image data blocks (strips, tiles, JPEG streams) at new positions with
// their offset tags updated. The first directory takes its general tags from
// exif; the Exif and GPS directories of exif (when they hold tags) are
// attached to every top-level directory that has none of its own; other
// sub-directories are moved with their directory; the maker note stays at
// its offset. newXmp, when given, replaces the XMP tag of the first directory.
// Damaged structure raises EInvalidTiffData, pointers that cannot be moved
// EUnsupportedTiffStructure, both before anything is produced.
TOutputPieces RewriteTiff(std::span<const uint8_t> file, TExifBlock exif, const std::vector<uint8_t>* newXmp,
                          bool removePaddingTags);
