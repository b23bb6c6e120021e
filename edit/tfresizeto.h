#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// The custom-size dialog: a width and a height box that follow each other at
// the picture's proportions while "Keep aspect ratio" is checked. Created
// once and reused, so the boxes keep their text between showings.
class TfResizeTo : public QDialog {
  Q_OBJECT
public:
  // rememberResize is set from "Remember until restart" by Ok. screenPpi 0
  // takes the screen's pixels per inch.
  explicit TfResizeTo(bool& rememberResize, QWidget* parent = nullptr, int screenPpi = 0);

  // Shows the dialog modally (platform/modal_dialog.h): QDialog::Accepted
  // after Ok, QDialog::Rejected after Cancel, Esc or closing.
  int ShowModal();

  void FormCreate();
  void FormShow();
  // The dialog's look at every key pressed in target first; true when it
  // took the key (Esc, and Enter anywhere but on a button).
  bool FormKeyDown(const QObject* target, const QKeyEvent& event);
  void btnOkClick();
  void btnCancelClick();
  // The key filter of both boxes; true when the key is discarded.
  bool seHeightKeyPress(const QKeyEvent& event);
  void seWidthKeyUp();
  void seHeightKeyUp();

  // Layout values are designed at 96 pixels per inch.
  int Scaled(int designValue) const;
  double ScreenPpi() const;

  // The picture's size, set before each showing, and its proportions.
  std::int32_t original_width = 0;
  std::int32_t original_height = 0;
  double original_aspect_ratio = 1.0;

  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* seWidth = nullptr;
  QLineEdit* seHeight = nullptr;
  QCheckBox* chKeepAspectRatio = nullptr;
  QCheckBox* chRememberUntilRestart = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void CreateControls();

  bool& FRememberResize;
  int FScreenPpi;
};
