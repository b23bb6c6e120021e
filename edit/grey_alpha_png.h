#pragma once

// FreeImage reads a grey PNG with alpha as RGBA and writes it back as RGBA;
// these write such a picture as grey with alpha again.

#include <FreeImage.h>

#include <cstdint>
#include <span>
#include <vector>

// Whether png is a PNG of grey pixels with alpha (colour type 4).
bool IsGreyAlphaPng(std::span<const uint8_t> png);

// dib's pixels as a grey-with-alpha PNG of dib's depth, 8 bits from a 32-bit
// bitmap, 16 from FIT_RGBA16: signature, IHDR, IDAT and IEND only. Empty
// when dib is of another kind, a pixel is not grey, or libpng fails.
std::vector<uint8_t> GreyAlphaPngPixels(FIBITMAP* dib);
