#pragma once

// A FreeImage bitmap taken apart for the trip from the worker to the viewer,
// and put together again on the other side: everything but the pixel rows
// goes into a description (type, size, depth, masks, palette, transparency,
// background colour, resolution, ICC profile, every metadata tag of every
// model, the embedded thumbnail with its pixels); the rows travel on their
// own, as the bytes FreeImage_GetBits points at (pitch x height).

#include <FreeImage.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace decoder {

// The description of dib, without its pixel rows.
std::vector<std::uint8_t> DescribeBitmap(FIBITMAP* dib);

// The number of bytes of dib's pixel rows (0 for a bitmap without pixels).
std::size_t PixelBytes(FIBITMAP* dib);

// Rebuilds a bitmap from a description. The bitmap's rows are pixels itself
// (FreeImage's external bits: the caller keeps them alive for as long as the
// bitmap lives and releases them after the bitmap). Null when the
// description is damaged or does not fit pixelBytes.
FIBITMAP* RebuildBitmap(const std::uint8_t* blob, std::size_t blobBytes, std::uint8_t* pixels, std::size_t pixelBytes);

}  // namespace decoder
