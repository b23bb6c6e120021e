#pragma once

// The file on display as a write that replaces it sees it: its pictures at
// the file's own depth, decoded away from the viewer (by the decoding
// worker), whatever the screen made of them.

#include "platform/free_bitmap.h"

class TShownFile {
public:
  virtual ~TShownFile() = default;
  // The pictures FreeImage finds in the file: the pages of a GIF, TIFF or
  // ICO file, 1 for other formats, 0 when it cannot tell.
  virtual unsigned Pages() = 0;
  // Picture page (counted from 0) at the file's own depth; the first as the
  // viewer decodes the file, with its load flags. Empty when it does not
  // decode.
  virtual TFreeBitmap Decode(unsigned page) = 0;
};
