#pragma once

// Window layouts are designed at 120 pixels per inch and scaled to the
// screen's pixels per inch, as the form framework scales its forms.

class QWidget;

inline constexpr double DesignPixelsPerInch = 120.0;

// The logical pixels per inch of the widget's screen (the primary screen
// when it has none yet).
double ScreenPixelsPerInch(const QWidget* widget);

// A design value in pixels at ppi pixels per inch.
int ScaleDesignValue(int designValue, double ppi);

#include <Qt>

// A fixed dialog border: a title and a close button, no minimise or maximise.
inline constexpr Qt::WindowFlags FixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
