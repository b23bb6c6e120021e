#pragma once

#include <FreeImage.h>

#include <string>

// Checks that two FreeImage bitmaps are the same in every respect a viewer
// can ask FreeImage about: type, size, depth, pitch, masks, resolution,
// palette, transparency, background colour, ICC profile, every tag of every
// metadata model, the thumbnail, and every pixel row. Reports through gtest;
// where says which case it is.
void ExpectSameBitmap(FIBITMAP* expected, FIBITMAP* actual, const std::string& where);
