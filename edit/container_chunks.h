#pragma once

// What FreeImage does not see in PNG and WebP files: the frames of an
// animation, whether a WebP is lossless, the PNG chunks its encoder drops,
// and a valid WebP EXIF chunk.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// The frames an animated PNG declares (acTL); 1 for a still PNG or anything
// that is not a PNG.
unsigned PngFrameCount(std::span<const uint8_t> png);

// encoded, a PNG FreeImage wrote, given the chunks of source that FreeImage's
// encoder drops and that stay true of the same picture edited, turned or
// mirrored: gAMA, cHRM, sRGB, eXIf and tIME, and sBIT and bKGD when both
// files have the same colour type and bit depth; each only when encoded has
// no chunk of its type. transformExif, when set, changes the eXIf TIFF
// block the way the picture changed. Unchanged when either is not a PNG.
using TExifBlockChange = std::function<std::vector<uint8_t>(std::span<const uint8_t> block)>;
std::vector<uint8_t> WithSourcePngChunks(std::span<const uint8_t> source, std::vector<uint8_t> encoded,
                                         const TExifBlockChange& transformExif = {});

// encoded, a PNG FreeImage wrote, with the pixels of pixels, a PNG of the
// same picture in another colour type that holds nothing else: the IHDR and
// IDAT chunks of pixels, and the chunks of encoded that hold for any colour
// type (profile, text, resolution, time ...), not PLTE, tRNS, bKGD, sBIT or
// hIST. Unchanged when either is not a PNG.
std::vector<uint8_t> WithPngPixelsOf(std::span<const uint8_t> pixels, std::vector<uint8_t> encoded);

// The layers of a Photoshop file (0 for a flat one or anything else):
// FreeImage reads and writes only the composite picture.
unsigned PsdLayerCount(std::span<const uint8_t> psd);

struct TWebPFacts {
  bool IsWebP = false;
  bool Lossless = false;  // its (first) picture is a VP8L bitstream
  unsigned Frames = 1;    // ANMF chunks of an animation
};
TWebPFacts ReadWebPFacts(std::span<const uint8_t> webp);

// encoded, a WebP FreeImage wrote, given the ICCP, EXIF and XMP chunks of
// source that it lacks (FreeImage reads an EXIF chunk only in the form it
// writes itself), with the extended header that announces them; the EXIF
// block changed by change when given. Unchanged when either is not a WebP.
std::vector<uint8_t> WithSourceWebPChunks(std::span<const uint8_t> source, std::vector<uint8_t> encoded,
                                          const TExifBlockChange& change = {});

// FreeImage writes a WebP's EXIF chunk as a JPEG segment holds it, with
// "Exif" 00 00 before the TIFF block, which readers reject: the chunk is
// given the TIFF block alone, changed by change when given. Anything else
// comes back unchanged.
std::vector<uint8_t> WithValidWebPExif(std::vector<uint8_t> webp, const TExifBlockChange& change = {});
