#pragma once

#include "viewer/overlay_layout.h"

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

// Draws one overlay text with the face of the painter's current font at size
// points, regular: first in silver one pixel lower over a box of color that
// covers the text's cell, then in textcolor at (X, Y) with no box. (X, Y) is
// the top left of the cell. The painter's font is left as set.
void WriteText(QPainter& painter, int X, int Y, const QString& str, int size, const QColor& color,
               const QColor& textcolor);

// The font WriteText and the hint line use: windowFont's face at size points.
QFont OverlayFont(const QFont& windowFont, int size, bool bold);

// A measure for LayoutOverlays that uses the overlay font on painter's device.
TTextMeasure OverlayTextMeasure(const QPainter& painter, const QFont& windowFont);

// Draws every overlay of a frame over the picture already in it, in order:
// information overlay, file name, message, hint line.
void PaintOverlays(QPainter& painter, const QFont& windowFont, const TOverlayInput& in);
