#pragma once

// The worker's requests beyond the plain decode: the pages of multi-page
// files, and the check of a file the viewer has just written.

#include <FreeImage.h>

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
// still read) after its header gave the full size. width and height receive
// the full size; warned whether the decoder reported damage on the way.
FIBITMAP* DecodeForCheck(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, unsigned& width,
                         unsigned& height, bool& warned);

}  // namespace decoder
