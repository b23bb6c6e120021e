#pragma once

#include <QString>

// What the Save as and favicon commands put into the shared save dialog
// before showing it. Filter is the dialog's "text|patterns|text|patterns"
// list; FilterIndex counts its rows from 1.

struct TSaveAsSetup {
  QString Filter;
  int FilterIndex = 1;
  QString FileName;
  QString DefaultExt;
};

// One row per supported format in table order, "NAME - DESC (*.a;*.b)|*.a;*.b".
// The row whose extensions hold the current file's extension is preselected,
// the last such row when several do (a .pbm file: PBMRAW, row 18); with no
// such row previousFilterIndex stays. FileName is the current file's name,
// DefaultExt its extension in lower case without the dot.
TSaveAsSetup SaveAsSetup(const QString& currentFile, int previousFilterIndex);

struct TFaviconSetup {
  QString Filter;
  QString InitialDir;
  QString FileName;
  QString DefaultExt;
};

// The single favicon row, the current file's folder without its trailing
// '/', "favicon.ico" and "ico".
TFaviconSetup FaviconSetup(const QString& currentFile);
