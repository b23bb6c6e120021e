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

void CentreOnScreen(QWidget& window) {
  const QWidget* owner = window.parentWidget();
  const QScreen* s = owner && owner->screen() ? owner->screen() : window.screen();
  if (!s) s = QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect area = s->availableGeometry();
  window.move(area.x() + (area.width() - window.width()) / 2, area.y() + (area.height() - window.height()) / 2);
}
