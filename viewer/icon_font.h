#pragma once

#include <QString>

// The icon font of the panel's glyphs, the family "FontAwesome": the
// system's (fontconfig) when it has the family, else the shipped file loaded
// for the life of this object, else none.
class TIconFont {
public:
  enum TSource { System, Shipped, None };

  TIconFont(const QString& family, const QString& shippedFile);
  ~TIconFont();
  TIconFont(const TIconFont&) = delete;
  TIconFont& operator=(const TIconFont&) = delete;

  TSource Source() const { return FSource; }
  bool HasGlyphs() const { return FSource != None; }
  const QString& Family() const { return FFamily; }

private:
  QString FFamily;
  TSource FSource = None;
  int FFontId = -1;
};

// The family the panel asks for; tests put a missing one in its place.
QString& IconFontFamily();
