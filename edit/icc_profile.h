#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <span>

// FreeImage's rotation, rescaling and depth conversion return new bitmaps
// without the source's ICC profile, and a picture saved from them would lose
// its colour space. Copies source's profile to result when result is a new
// bitmap that has none, and the CMYK flag of a picture without a profile to a
// result of the same depth; returns result (null stays null).
FIBITMAP* KeepIccProfile(FIBITMAP* source, FIBITMAP* result);

// dib's profile as it lies in memory; empty when it has none.
std::span<const uint8_t> IccProfileBytes(FIBITMAP* dib);
