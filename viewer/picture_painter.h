#pragma once

#include "platform/free_bitmap.h"
#include "viewer/frame_change.h"
#include "viewer/view_geometry.h"

#include <QImage>
#include <QRect>

class TScreenColour;

inline constexpr QRgb BackgroundColor = 0xFF000000;  // the window's black

// Paints the picture layer of a frame (an RGB32 image the size of the client
// area): the working image placed by the view rules and the background bands
// around it. An empty working image leaves only the background, and so does
// an image that cannot be converted for display (its rectangle is filled with
// the background, so nothing of an earlier paint stays in it). A frame of
// zero width or height is left alone. displayCopy receives any conversion
// made for display and keeps it until the next paint. With colour, the drawn
// picture is converted to the screen's colour space when the working image
// carries a colour profile.
void PaintPicture(QImage& frame, const TFreeBitmap& working, TViewState& view, TFreeBitmap& displayCopy,
                  TScreenColour* colour = nullptr);
// The same for a stand-in of an image of width x height pixels (a reduced
// decode shown while the full one is made): placed as that image would be,
// the stand-in stretched over its place.
void PaintPictureAs(QImage& frame, const TFreeBitmap& standIn, unsigned width, unsigned height, TViewState& view,
                    TFreeBitmap& displayCopy, TScreenColour* colour = nullptr);
// The picture alone, the bands around it left as they are: for a frame
// whose picture changed in the same place (an animation's next frame).
void PaintPictureInPlace(QImage& frame, const TFreeBitmap& working, TViewState& view, TFreeBitmap& displayCopy,
                         TScreenColour* colour = nullptr);

// Of a frame that shows a picture as PaintPicture placed it, only what the
// changed pixels of working (the same size) alter: the rest still shows the
// same. Returns the part of the frame painted, in device pixels; empty when
// nothing was.
QRect PaintPictureChange(QImage& frame, const TFreeBitmap& working, const TPixelArea& changed, TViewState& view,
                         TFreeBitmap& displayCopy, TScreenColour* colour = nullptr);

// Fills a rectangle of an RGB32 frame, clipped to the frame.
void FillFrameRect(QImage& frame, int x, int y, int w, int h, QRgb color);
