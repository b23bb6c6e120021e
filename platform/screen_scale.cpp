#include "platform/screen_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

double ScreenPixelsPerInch(const QWidget* widget, int fixedPpi, double designPpi) {
  if (fixedPpi > 0) return fixedPpi;
  const QScreen* s = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  return s ? s->logicalDotsPerInch() : designPpi;
}

int ScaledToPpi(int designValue, double ppi, double designPpi) {
  return qRound(designValue * ppi / designPpi);
}
