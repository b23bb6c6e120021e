#include "folder/extra_formats.h"

#include "folder/file_path.h"

#include <QStringList>

const std::vector<ftype>& ListedFormats() {
  static const std::vector<ftype> rows = [] {
    std::vector<ftype> all(SupportedFormats.begin(), SupportedFormats.end());
    for (const TExtraFormat& extra : ExtraFormats) all.push_back(extra.row);
    return all;
  }();
  return rows;
}

bool IsListedExtension(const QString& ext) {
  if (IsSupportedExtension(ext)) return true;
  static const QStringList tokens = [] {
    QStringList all;
    for (const TExtraFormat& extra : ExtraFormats)
      all += AsciiLowerCase(QString(extra.row.Ext)).split(u' ', Qt::SkipEmptyParts);
    return all;
  }();
  return !ext.isEmpty() && tokens.contains(AsciiLowerCase(ext.mid(1)), Qt::CaseSensitive);
}

ftype FindListedFormat(const QString& name) {
  const ftype row = FindFormat(name);
  if (!row.name.isEmpty()) return row;
  const TExtraFormat* extra = FindExtraFormat(name);
  return extra ? extra->row : ftype{};
}

const TExtraFormat* FindExtraFormat(const QString& name) {
  for (const TExtraFormat& extra : ExtraFormats)
    if (extra.row.name == name) return &extra;
  return nullptr;
}
