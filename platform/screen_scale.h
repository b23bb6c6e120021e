#pragma once

// Window layouts are designed at a fixed resolution and scaled to the
// screen's when the window is created; windows open centred on the screen.

class QWidget;

// The main window and the associations and about dialogs are designed at 120
// pixels per inch; the options dialog at 96.
inline constexpr double FormDesignPixelsPerInch = 120.0;

// fixedPpi when above 0, else the logical pixels per inch of widget's screen
// (the primary screen's when it has none yet; designPpi without a screen).
double ScreenPixelsPerInch(const QWidget* widget, int fixedPpi, double designPpi);

// A layout value designed at designPpi, in pixels at ppi, rounded.
int ScaledToPpi(int designValue, double ppi, double designPpi);

// Moves window to the middle of the available area of its owner's screen (its
// own screen, or the primary one, when it has no owner).
void CentreOnScreen(QWidget& window);
