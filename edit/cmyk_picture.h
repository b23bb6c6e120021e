#pragma once

// CMYK pictures: JPEG and TIFF files in CMYK are decoded as CMYK (four ink
// bytes per pixel, C, M, Y, K, the picture's profile flagged as CMYK), so
// that their colours can be shown through their colour profile. Commands
// that work on RGB values (tone, grey-scale) and formats that hold no CMYK
// get the picture converted to sRGB first, through its embedded profile or,
// without one, a standard CMYK profile; never by the naive formula.

#include <FreeImage.h>

#include <vector>

// The rendering intent CMYK and grey pictures reach sRGB with: relative
// colorimetric (Little CMS's INTENT_RELATIVE_COLORIMETRIC), without black point
// compensation, as ImageMagick's conversion does. Perceptual into Little
// CMS's own (version 4) sRGB profile would compensate the press's black and
// show every picture darker.
inline constexpr unsigned CmykScreenIntent = 1;

// Whether dib holds CMYK pixels: 32 bits (or 64, 16 bits an ink), flagged as
// CMYK by its decoder.
bool IsCmykPicture(FIBITMAP* dib);

// The bytes of a standard CMYK profile (SWOP or FOGRA) from the first one
// found of those Debian's packages install (ghostscript's, colord's,
// icc-profiles-free's); empty when there is none. Read once.
const std::vector<unsigned char>& StandardCmykProfile();

// The ICC profile to read dib's CMYK values through: its own, or the
// standard one. Empty when neither is there.
std::vector<unsigned char> CmykProfileOf(FIBITMAP* dib);

// A new 24-bit sRGB bitmap with dib's colours, resolution and metadata, for
// a CMYK dib; null when dib is not CMYK or the conversion fails.
FIBITMAP* CmykToSrgb(FIBITMAP* dib);

// A 64-bit CMYK dib (16 bits an ink) as a new 32-bit one with the same
// profile; null when dib is not such a picture.
FIBITMAP* Cmyk16To8(FIBITMAP* dib);

// Whether a file of format fif is written with a CMYK picture's inks: TIFF
// and PSD by FreeImage, JPEG by our own encoder (edit/jpeg_encoding.h).
bool FormatKeepsCmyk(FREE_IMAGE_FORMAT fif);
