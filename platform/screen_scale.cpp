#include "platform/screen_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

double ScreenPixelsPerInch(const QWidget* widget, int fixedPpi, double designPpi) {
  if (fixedPpi > 0) return fixedPpi;
  const QScreen* s = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  return s ? s->logicalDotsPerInch() : designPpi;
}

int ScaledToPpi(int designValue, double ppi, double designPpi) { return qRound(designValue * ppi / designPpi); }

void CentreOnScreen(QWidget& window) {
  const QWidget* owner = window.parentWidget();
  const QScreen* s = owner && owner->screen() ? owner->screen() : window.screen();
  if (!s) s = QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect area = s->availableGeometry();
  // The client area is placed, not the frame: a window shown before has its
  // frame's size on record, and move() would then add the title bar to a
  // position the window manager takes for the frame's, so that the window
  // crept down by that much at each showing. Before the first showing the
  // frame is not known and the client area alone is centred.
  const QMargins frame = window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
  const int frameWidth = window.width() + frame.left() + frame.right();
  const int frameHeight = window.height() + frame.top() + frame.bottom();
  window.setGeometry(area.x() + (area.width() - frameWidth) / 2 + frame.left(),
                     area.y() + (area.height() - frameHeight) / 2 + frame.top(), window.width(), window.height());
}
