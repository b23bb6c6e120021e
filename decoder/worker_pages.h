#pragma once

// The worker's requests beyond the plain decode: the pages of multi-page
// files, and the check of a file the viewer has just written.

#include <FreeImage.h>

#include <cstddef>

namespace decoder {

// Whether FreeImage reads files of this format as a sequence of pages.
bool IsMultiPageFormat(FREE_IMAGE_FORMAT fif);

// The pages of a GIF, TIFF or ICO file; 1 for every other format, and 0 when
// a multi-page file cannot be opened as one.
unsigned CountPages(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle);

// One page of a multi-page file at its own depth, with its metadata (the
// animation model of a GIF frame included); pages receives the count. Null
// when the page does not decode.
FIBITMAP* DecodePage(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, unsigned page, int flags,
                     unsigned& pages);

// A file the viewer has just written, decoded as fif: fully, except a large
// JPEG, whose data is decoded at an eighth of its size (the whole stream is
// still read) after its header gave the full size; with movedBlocks (see
// CheckMovedBlocks) a large JPEG's coded data is walked to its end and only
// its first rows decoded. width and height receive the full size; warned
// whether damage was met on the way.
FIBITMAP* DecodeForCheck(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, bool movedBlocks, unsigned& width,
                         unsigned& height, bool& warned);

// Whether a JPEG stream's structure holds to its end: segments whose lengths
// fit, coded data with nothing but stuffed bytes and restart markers in it,
// and EOI as its last two bytes. scanStart receives where the first scan's
// coded data begins.
bool JpegStructureHolds(const unsigned char* data, size_t size, size_t& scanStart);

}  // namespace decoder
