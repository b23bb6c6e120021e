#include "edit/save_dialog_setup.h"

#include "folder/file_path.h"
#include "folder/formats.h"

#include <QStringList>

TSaveAsSetup SaveAsSetup(const QString& currentFile, int previousFilterIndex) {
  TSaveAsSetup setup;
  const QString ext = AsciiLowerCase(ExtractFileExt(currentFile).mid(1));
  setup.FilterIndex = previousFilterIndex;
  QString filter;
  for (int row = 0; row < SupportedFormatCount; ++row) {
    const ftype& format = SupportedFormats[row];
    QString patterns;
    for (const QString& e : AsciiLowerCase(QString(format.Ext)).split(u' ', Qt::SkipEmptyParts)) {
      patterns += QStringLiteral(";*.%1").arg(e);
      // A later row with the same extension overrides an earlier one.
      if (e == ext) setup.FilterIndex = row + 1;
    }
    patterns.remove(0, 1);
    filter += QStringLiteral("|%1 - %2 (%3)|%3").arg(QString(format.name), QString(format.desc), patterns);
  }
  setup.Filter = filter.mid(1);
  setup.FileName = ExtractFileName(currentFile);
  setup.DefaultExt = ext;
  return setup;
}

TFaviconSetup FaviconSetup(const QString& currentFile) {
  TFaviconSetup setup;
  setup.Filter = QStringLiteral("Favicon file | *.ico");
  setup.InitialDir = ExtractFilePath(currentFile);
  if (setup.InitialDir.size() > 1 && setup.InitialDir.endsWith(u'/')) setup.InitialDir.chop(1);
  setup.FileName = QStringLiteral("favicon.ico");
  setup.DefaultExt = QStringLiteral("ico");
  return setup;
}
