#pragma once

#include "edit/exif/jpeg_segments.h"
#include "edit/exif/output_pieces.h"

#include <cstdint>
#include <span>
#include <vector>

// The largest data of one segment: its 16-bit length counts itself.
constexpr size_t MaxSegmentData = 65533;

// The new file from a JPEG stream: SOI, every APP0 segment in its order, an
// Exif APP1 with exifBlock (unless empty), an XMP APP1 with xmpPacket (unless
// empty), then every other byte of the source in order without the APP0
// segments and the first Exif and first XMP APP1 segments. Blocks too large
// for a segment raise EExifDataTooLarge before anything is produced.
TOutputPieces RewriteJpeg(std::span<const uint8_t> file, const std::vector<TJpegSegment>& segments,
                          std::vector<uint8_t> exifBlock, const std::vector<uint8_t>& xmpPacket);
