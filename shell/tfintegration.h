#pragma once

#include "settings/settings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabBar;
class QTableWidget;

// The file-associations dialog: one row per supported format with a check
// box that says whether the viewer opens it. OK associates every checked
// format and restores every unchecked one, then sends the notice once;
// Cancel and Esc write nothing.
class TfIntegration : public QDialog {
  Q_OBJECT
public:
  // settings is read for FirstRun at each showing. screenPpi 0 takes the
  // screen's pixels per inch.
  explicit TfIntegration(const TSettings& settings, QWidget* parent = nullptr, int screenPpi = 0);

  // Shows the dialog modally over parent (which may be any window, or none)
  // and returns its result.
  int ShowModalFor(QWidget* parent);

  // Rebuilds the rows from the registry and the desktop's defaults (see
  // FormatsOpenedByViewer) and applies the first-run rule.
  void FormShow();
  void chSelectAllClick();
  void btnOkClick();
  void btnCancelClick();

  QTableWidget* List() const { return LV; }
  QCheckBox* SelectAll() const { return chSelectAll; }
  QPushButton* OkButton() const { return btnOk; }
  QPushButton* CancelButton() const { return btnCancel; }
  QLabel* Notice() const { return lblNotice; }
  bool IsRowChecked(int row) const;
  void SetRowChecked(int row, bool bChecked);
  int Scaled(int designValue) const;

protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void FormKeyDown(QKeyEvent* event);

  const TSettings& FSettings;
  int FScreenPpi;
  QWidget* TabControl1 = nullptr;
  QTabBar* FTabs = nullptr;
  QTableWidget* LV = nullptr;
  QCheckBox* chSelectAll = nullptr;
  QLabel* lblNotice = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
};
