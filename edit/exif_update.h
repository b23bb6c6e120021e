#pragma once

// The EXIF facts a new file must state about its own pixels: the
// orientation (turned upright on loading, or reset after a rotate or flip)
// and the pixel dimensions (after a resize), in every format whose EXIF
// block the viewer rewrites: JPEG, TIFF and PSD files, a PNG's eXIf chunk
// and a WebP's EXIF chunk.

#include "edit/exif/output_pieces.h"

#include <cstdint>
#include <span>
#include <vector>

struct TExifUpdate {
  enum TOrientation { Keep, Upright, Remove };
  TOrientation Orientation = Keep;
  uint32_t Width = 0, Height = 0;  // the pixel dimensions; 0 leaves them
};

// A JPEG, TIFF or PSD file with its EXIF data updated; the file unchanged
// when it holds none or nothing changes. EExifError escapes for metadata the
// rewrite cannot handle.
TOutputPieces UpdateFileExif(std::span<const uint8_t> file, const TExifUpdate& update);

// An EXIF TIFF block (as a PNG eXIf or WebP EXIF chunk holds it) updated;
// unchanged when it cannot be read.
std::vector<uint8_t> UpdateExifBlock(std::span<const uint8_t> block, const TExifUpdate& update);
