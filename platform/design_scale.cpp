#include "platform/design_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtMath>

double ScreenPixelsPerInch(const QWidget* widget) {
  const QScreen* s = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  return s ? s->logicalDotsPerInch() : DesignPixelsPerInch;
}

int ScaleDesignValue(int designValue, double ppi) { return qRound(designValue * ppi / DesignPixelsPerInch); }
