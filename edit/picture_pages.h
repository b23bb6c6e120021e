#pragma once

// What a turned or mirrored picture keeps of its source beyond the pixels,
// and the pages of a multi-page file (GIF, TIFF, ICO) written as one file.

#include "edit/exif/picture_transform.h"

#include <FreeImage.h>

#include <cstdint>
#include <span>
#include <vector>

// Gives result, the source picture laid out anew by transform, what
// FreeImage's rotation leaves behind: the palette and transparency table of
// a palette picture (FreeImage gives a turned 1-bit picture a grey ramp),
// the background colour, the colour profile, the metadata with a GIF frame's
// placement, and the resolution, whose sides change places with the
// picture's. result may be source itself (a flip in place).
void KeepPictureInfo(FIBITMAP* source, FIBITMAP* result, TPictureTransform transform);

// Moves a GIF frame's placement (FrameLeft, FrameTop) within a logical
// screen of screenWidth x screenHeight the way transform moves the screen,
// and turns the screen's own size (LogicalWidth, LogicalHeight) when the
// frame carries it. frame has already been transformed.
void PlaceAnimationFrame(FIBITMAP* frame, TPictureTransform transform, unsigned screenWidth, unsigned screenHeight);
// The logical screen size a GIF's first frame carries; false when it has none.
bool AnimationScreen(FIBITMAP* firstFrame, unsigned& width, unsigned& height);

// The pages, in order, as one file of format fif (GIF, TIFF or ICO) written
// by FreeImage's multi-page encoder with flags. False when it cannot.
bool EncodePages(const std::vector<FIBITMAP*>& pages, FREE_IMAGE_FORMAT fif, int flags, std::vector<uint8_t>& out);
