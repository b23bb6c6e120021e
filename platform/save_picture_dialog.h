#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

// The file-save dialog that the main window keeps for Save as and the
// favicon: its properties persist from one use to the next. Behind it is
// Qt's own (not the desktop's) file dialog, which asks before it replaces an
// existing file.
class TSavePictureDialog {
public:
  QString Filter;       // "text|patterns|text|patterns ..."
  int FilterIndex = 1;  // the preselected row, from 1
  QString FileName;     // the name offered; after Execute the full path chosen
  QString DefaultExt;   // added to a name typed without extension while its row is chosen
  QString InitialDir;   // the folder it opens in; empty lets the dialog choose

  // Shows the dialog modally (through ShowModal, so tests answer it with
  // ModalDialogHook). True when the user confirmed a name: FileName then
  // holds its full path and FilterIndex the row chosen. fallbackDir is where
  // it opens when InitialDir is empty and it has not been used yet.
  bool Execute(QWidget* parent, const QString& fallbackDir = QString());

  // Sets up a dialog from the properties (what Execute shows).
  void Configure(QFileDialog& dialog, const QString& fallbackDir = QString()) const;

private:
  QString FLastDir;  // the folder of the last name confirmed
};

// The rows of a "text|patterns" filter as Qt names them: "text (*.a *.b)".
QStringList NameFilters(const QString& filter);

// The extension a name typed without one gets while row (as NameFilters
// names it) is chosen: defaultExt when the row holds it, else the row's first
// extension (a bare name saved under the PNG row is a PNG file), else
// defaultExt.
QString DefaultExtensionForRow(const QString& row, const QString& defaultExt);
