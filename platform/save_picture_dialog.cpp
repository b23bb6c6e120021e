#include "platform/save_picture_dialog.h"

#include "platform/modal_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include <utility>

QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList rows;
  static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    // Qt reads the patterns from the text's last brackets, separated by
    // spaces: the display text's own bracketed list gives way to them.
    QString text = parts[i];
    text.remove(trailingPatterns);
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(u';', Qt::SkipEmptyParts))
      if (!p.trimmed().isEmpty()) patterns << p.trimmed();
    rows << QStringLiteral("%1 (%2)").arg(text.trimmed(), patterns.join(u' '));
  }
  return rows;
}

QString DefaultExtensionForRow(const QString& row, const QString& defaultExt) {
  const qsizetype open = row.lastIndexOf(u'(');
  const qsizetype close = row.lastIndexOf(u')');
  if (open < 0 || close < open) return defaultExt;
  QStringList extensions;
  for (const QString& pattern : row.mid(open + 1, close - open - 1).split(u' ', Qt::SkipEmptyParts)) {
    const QString ext = pattern.startsWith(QLatin1String("*.")) ? pattern.mid(2) : QString();
    if (ext.isEmpty() || ext.contains(u'*') || ext.contains(u'?') || ext.contains(u'[')) continue;
    if (ext.compare(defaultExt, Qt::CaseInsensitive) == 0) return defaultExt;
    extensions << ext;
  }
  return extensions.isEmpty() ? defaultExt : extensions.first();
}

namespace {

// Qt's file dialog, where the extension of a name typed without one follows
// the row chosen when the name is confirmed (Qt keeps one for all rows).
// Set before Qt's own accept, so that the question before replacing a file
// asks about the name that will be written.
class TSaveFileDialog : public QFileDialog {
public:
  TSaveFileDialog(QWidget* parent, const QString& caption, QString defaultExt)
      : QFileDialog(parent, caption), FDefaultExt(std::move(defaultExt)) {}

  void accept() override {
    setDefaultSuffix(DefaultExtensionForRow(selectedNameFilter(), FDefaultExt));
    QFileDialog::accept();
  }

private:
  QString FDefaultExt;
};

}  // namespace

void TSavePictureDialog::Configure(QFileDialog& dialog, const QString& fallbackDir) const {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList rows = NameFilters(Filter);
  dialog.setNameFilters(rows);
  if (!rows.isEmpty())
    dialog.selectNameFilter(rows.value(FilterIndex >= 1 && FilterIndex <= rows.size() ? FilterIndex - 1 : 0));
  dialog.setDefaultSuffix(DefaultExt);
  QString folder = InitialDir;
  if (folder.isEmpty()) folder = FLastDir;
  if (folder.isEmpty()) folder = fallbackDir;
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (!FileName.isEmpty()) dialog.selectFile(QFileInfo(FileName).fileName());
}

bool TSavePictureDialog::Execute(QWidget* parent, const QString& fallbackDir) {
  TSaveFileDialog dialog(parent, QStringLiteral("Save as"), DefaultExt);
  Configure(dialog, fallbackDir);
  const int result = ShowModal(dialog);
  const QStringList chosen = dialog.selectedFiles();
  if (result != QDialog::Accepted || chosen.isEmpty() || chosen.first().isEmpty()) return false;
  FileName = chosen.first();
  const int row = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
  if (row >= 0) FilterIndex = row + 1;
  FLastDir = QFileInfo(FileName).absolutePath();
  return true;
}
