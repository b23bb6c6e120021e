#pragma once

// Encoding a picture for a file so that the new file keeps what the file it
// replaces (or was made from) held beyond the pixels, where FreeImage's
// encoder alone would drop it: a JPEG's quality, subsampling and every
// metadata segment; the EXIF directories of a TIFF or of a JPEG turned into
// TIFF and back; a PNG's colour and EXIF chunks; a WebP's lossless
// compression, with a valid EXIF chunk.

#include "edit/container_chunks.h"
#include "edit/save_picture.h"

#include <FreeImage.h>

#include <cstdint>
#include <span>
#include <vector>

// The file a write replaces or starts from.
struct TSourceFile {
  std::span<const uint8_t> Bytes;          // empty: nothing to keep
  FREE_IMAGE_FORMAT Format = FIF_UNKNOWN;  // what its content is
};

// The pictures the file holds beyond the first: frames of a GIF, pages of a
// TIFF or ICO as FreeImage counts them (pagesFound), and the frames of an
// animated PNG or WebP, which FreeImage reads as one picture.
unsigned PicturesInFile(const TSourceFile& file, unsigned pagesFound);
// Whether FreeImage reads files of this format as pages (GIF, TIFF, ICO).
bool FileHoldsPages(FREE_IMAGE_FORMAT fif);

// dib without its alpha channel (a new 24-bit bitmap) when it is a 32-bit
// picture of a file that had none (an edited 48-bit picture, converted for
// the screen); null when dib may be written as it is.
FIBITMAP* WithoutAddedAlpha(FIBITMAP* dib, bool fileHadAlpha);

// FreeImage's save flags that keep what source was: the quality and
// subsampling of a JPEG, the lossless compression of a WebP, the compression
// of a TIFF (for pictures of bpp bits).
int FaithfulSaveFlags(FREE_IMAGE_FORMAT fif, const TSourceFile& source, unsigned bpp);

// Encodes dib as fif with FaithfulSaveFlags and carries source's metadata
// into the result as the header says. dib given a TIFF source's own colour
// profile where FreeImage's decode spoilt it. exifChange changes the EXIF block of
// a PNG's eXIf or a WebP's EXIF chunk as the picture changed (JPEG, TIFF and
// PSD files are the caller's to update). EExifError escapes when source's
// metadata cannot be carried.
TSaveResult EncodeFaithfully(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, const TSourceFile& source, std::vector<uint8_t>& out,
                             const TExifBlockChange& exifChange = {});
