#include "viewer/icon_font.h"

#include <QFontDatabase>
#include <QStringList>

TIconFont::TIconFont(const QString& family, const QString& shippedFile) : FFamily(family) {
  if (QFontDatabase::families().contains(family)) {
    FSource = System;
    return;
  }
  FFontId = QFontDatabase::addApplicationFont(shippedFile);
  if (FFontId < 0) return;
  if (QFontDatabase::applicationFontFamilies(FFontId).contains(family)) {
    FSource = Shipped;
    return;
  }
  // A file of another family would only hide the missing glyphs.
  QFontDatabase::removeApplicationFont(FFontId);
  FFontId = -1;
}

TIconFont::~TIconFont() {
  if (FFontId >= 0) QFontDatabase::removeApplicationFont(FFontId);
}

QString& IconFontFamily() {
  static QString family = QStringLiteral("FontAwesome");
  return family;
}
