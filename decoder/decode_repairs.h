#pragma once

// What the worker adds around FreeImage's decoders so that a picture comes
// out as the file holds it: CMYK pictures as their inks, flagged as such;
// a TIFF directory's colour profile taken from the file itself (FreeImage's
// decoder copies it from memory libtiff has freed when the directory has an
// EXIF sub-directory); the inks of a tiled CMYK TIFF in their order
// (FreeImage swaps the first and third of them, as if they were red and
// blue); a JPEG turned upright by its EXIF orientation with its colour
// profile and its inks' flag (FreeImage's turn drops both).

#include "decoder/tiff_directory.h"

#include <FreeImage.h>

#include <cstdint>

namespace decoder {

// The load flags that make FreeImage decode CMYK files of fif as their inks.
int InkLoadFlags(FREE_IMAGE_FORMAT fif);

// One decode through FreeImage. FreeImage reads through Io() and Handle()
// (a TIFF's profile hidden from it where it would be copied from freed
// memory); Finish mends what it made. flags: the load flags; directory:
// the page of a TIFF file. The handle is left where it was.
class TDecodeRepairs {
public:
  TDecodeRepairs(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, int flags, unsigned directory = 0);
  TDecodeRepairs(const TDecodeRepairs&) = delete;
  TDecodeRepairs& operator=(const TDecodeRepairs&) = delete;

  FreeImageIO* Io() { return FHiding ? &FHidingIo : &FIo; }
  fi_handle Handle() { return FHiding ? static_cast<fi_handle>(this) : FHandle; }
  // The load flags FreeImage gets (Finish turns a JPEG upright itself).
  int Flags() const { return FFlags; }

  // Gives dib (a decode made through Io, or a copy of one) the file's
  // profile and flags and orders its inks; returns dib.
  FIBITMAP* Finish(FIBITMAP* dib);

private:
  static unsigned HidingRead(void* buffer, unsigned size, unsigned count, fi_handle handle);
  static int HidingSeek(fi_handle handle, long offset, int origin);
  static long HidingTell(fi_handle handle);
  bool ReadAt(std::uint64_t offset, void* out, std::size_t size);

  FREE_IMAGE_FORMAT FFormat;
  int FFlags;
  bool FTurnUpright = false;
  FreeImageIO FIo;
  fi_handle FHandle;
  std::uint64_t FFileSize = 0;
  TTiffDirectoryFacts FTiff;
  bool FHiding = false;
  FreeImageIO FHidingIo{};
  bool FPsdInks = false;  // a PSD file in CMYK mode
};

}  // namespace decoder
