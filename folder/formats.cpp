#include "folder/formats.h"

#include "folder/file_path.h"

#include <QStringList>

namespace {

// Every extension token of the table, lowered, in table order (duplicates
// such as "pbm" included: only membership is asked). Built once, since the
// test runs for every entry of every folder scan.
const QStringList& LoweredExtensionTokens() {
  static const QStringList tokens = [] {
    QStringList all;
    for (const ftype& row : SupportedFormats) all += AsciiLowerCase(QString(row.Ext)).split(u' ', Qt::SkipEmptyParts);
    return all;
  }();
  return tokens;
}

}  // namespace

bool IsSupportedExtension(const QString& ext) {
  if (ext.isEmpty()) return false;
  return LoweredExtensionTokens().contains(AsciiLowerCase(ext.mid(1)), Qt::CaseSensitive);
}

ftype FindFormat(const QString& name) {
  for (const ftype& row : SupportedFormats)
    if (row.name == name) return row;
  return ftype{};
}
