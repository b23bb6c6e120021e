#include "edit/tone.h"

#include <QLocale>

namespace {

constexpr TToneRange Ranges[] = {
    {"Gamma", 1.0, 0.05, 0.1, 16.0},
    {"Brightness", 0.0, 1.0, -100.0, 100.0},
    {"Contrast", 0.0, 1.0, -100.0, 100.0},
};

// Only the separator is the locale's: its digits, minus sign, grouping and
// direction marks would make "-1.00" unreadable in some locales.
QString TwoDecimals(double value) { return QString::number(value, 'f', 2).replace(u'.', QLocale().decimalPoint()); }

}  // namespace

const TToneRange& ToneRange(TToneValue which) { return Ranges[which]; }

bool ToneCanStep(TToneValue which, double value, TToneDirection direction) {
  const TToneRange& range = ToneRange(which);
  return direction == tdUp ? value < range.upper : range.lower < value;
}

double ToneStepped(TToneValue which, double value, TToneDirection direction) {
  const double step = ToneRange(which).step;
  return direction == tdUp ? value + step : value - step;
}

QString ToneStepMessage(TToneValue which, TToneDirection direction, double value) {
  return QStringLiteral("%1 (%2): %3")
      .arg(QLatin1String(ToneRange(which).name), direction == tdUp ? QStringLiteral("+") : QStringLiteral("-"),
           TwoDecimals(value));
}

QString ToneOriginalMessage(TToneValue which, double value) {
  return QStringLiteral("%1 (Original): %2").arg(QLatin1String(ToneRange(which).name), TwoDecimals(value));
}

QString ToneLimitMessage(TToneValue which, double value) {
  return QStringLiteral("%1: %2").arg(QLatin1String(ToneRange(which).name), TwoDecimals(value));
}

void ApplyToneAdjustments(FIBITMAP* dib, double gamma, double brightness, double contrast) {
  if (!dib) return;
  FreeImage_AdjustGamma(dib, gamma);
  FreeImage_AdjustBrightness(dib, brightness);
  FreeImage_AdjustContrast(dib, contrast);
}

bool ToneIsNeutral(double gamma, double brightness, double contrast) {
  return gamma == ToneRange(tvGamma).neutral && brightness == ToneRange(tvBrightness).neutral &&
         contrast == ToneRange(tvContrast).neutral;
}
