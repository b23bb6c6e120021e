#include "folder/file_path.h"

QString ExtractFilePath(const QString& path) { return path.left(path.lastIndexOf(u'/') + 1); }

QString ExtractFileName(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString ExtractFileExt(const QString& path) {
  const QString name = ExtractFileName(path);
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot < 0 ? QString() : name.mid(dot);
}

namespace {
char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c; }
}  // namespace

QString AsciiLowerCase(const QString& s) {
  QString result = s;
  for (QChar& c : result) c = QChar(AsciiLower(c.unicode()));
  return result;
}

bool SameTextAscii(const QString& a, const QString& b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (AsciiLower(a.at(i).unicode()) != AsciiLower(b.at(i).unicode())) return false;
  return true;
}
