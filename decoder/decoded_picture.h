#pragma once

// What the decoders of the newer formats (HEIF, AVIF, JPEG XL) and the
// camera RAW path share: the bitmap they hand over is the kind FreeImage
// makes of a PNG (8 bits a channel, RGB or RGBA, or 16 bits a channel), and
// their colour profile, EXIF and XMP are attached as FreeImage metadata, so
// that everything downstream treats them like any other picture.

#include <FreeImage.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace decoder {

// The sides beyond which a picture is refused before any pixel memory is
// asked for (as FreeImage's own readers do), and the most memory its bitmap
// may take: the libraries need two or three times that while they decode,
// which the smallest worker's address space still holds.
inline constexpr std::uint32_t MaxPictureSide = 1u << 16;
inline constexpr std::uint64_t MaxPictureBytes = 1ull << 30;

// Whether a bitmap of that size and kind stays within both limits.
bool PictureFits(std::uint32_t width, std::uint32_t height, bool alpha, int bitsPerChannel);

// An empty bitmap for width x height pixels: FIT_BITMAP of 24 or 32 bits for
// bitsPerChannel 8, FIT_RGB16 or FIT_RGBA16 for 16. headerOnly: no pixels.
// Null when the sizes are refused (PictureFits) or memory runs out.
FIBITMAP* AllocatePicture(std::uint32_t width, std::uint32_t height, bool alpha, int bitsPerChannel, bool headerOnly);

// Copies one row of interleaved pixels, top row 0, into dib (whose rows run
// bottom-up): 8-bit R,G,B(,A) become FreeImage's B,G,R(,A); 16-bit samples
// (native byte order) holding sampleBits significant bits are scaled to the
// full 16 bits.
void PutRow(FIBITMAP* dib, std::uint32_t y, const std::uint8_t* pixels, int sampleBits);
// The same for a run of count pixels starting at column x.
void PutPixels(FIBITMAP* dib, std::uint32_t x, std::uint32_t y, std::uint32_t count, const std::uint8_t* pixels,
               int sampleBits);

// The colour profile as FreeImage keeps it.
void AttachIccProfile(FIBITMAP* dib, std::span<const std::uint8_t> profile);

// An EXIF block (a TIFF structure, from its byte-order mark on) read into
// FreeImage's EXIF models as its JPEG reader reads an APP1 segment, the raw
// block included. FreeImage's EXIF reader trusts the offsets it is given,
// so the block is first read and written anew by the viewer's own EXIF code
// (edit/exif): FreeImage only ever sees a well-formed block. upright: the
// pixels were turned by the file's own means, and the orientation, when the
// block has one, says 1. A block that is too large or damaged adds nothing.
void AttachExif(FIBITMAP* dib, std::span<const std::uint8_t> tiff, bool upright);

// The start of the TIFF structure in an EXIF item of an ISO base media file
// or a JPEG XL box: a 4-byte big-endian offset to it, then (usually)
// "Exif\0\0". Empty when the offset points outside.
std::span<const std::uint8_t> ExifItemTiff(std::span<const std::uint8_t> item);

// An XMP packet as FreeImage's readers keep it.
void AttachXmp(FIBITMAP* dib, std::span<const std::uint8_t> packet);

// The decoder turned the pixels upright already: the EXIF orientation of
// the main model is set to 1, so that nothing turns them a second time.
void MarkUpright(FIBITMAP* dib);

}  // namespace decoder
