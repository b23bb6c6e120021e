#pragma once

#include "settings/options_form.h"

#include <QDialog>
#include <QRgb>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QPushButton;
class QTableWidget;

// The text colour of hotkey cells that name the same key as another row.
inline constexpr QRgb DuplicateHotkeyRgb = 0xC00000;

// The options dialog: the window and view switches, the resize filter, the
// miscellaneous switches and the 47 hotkeys. Created once and reused; every
// showing starts from the settings, and only OK changes them.
class TfOptions : public QDialog {
  Q_OBJECT
public:
  // settings is the record the dialog shows and OK commits; target the main
  // window. screenPpi 0 takes the screen's pixels per inch.
  TfOptions(TSettings& settings, TOptionsTarget& target, QWidget* parent = nullptr, int screenPpi = 0);

  // Shows the dialog modally (platform/modal_dialog.h); QDialog::Accepted
  // after OK.
  int ShowModal();

  void FormShow();
  // Settings to controls.
  void ReflectSettings();
  // Captures the key of a press in the hotkey list into the selected row.
  void lvKeyDown(const QKeyEvent& event);
  // The dialog's look at every key first; true when it took the key (Esc).
  bool FormKeyDown(const QKeyEvent& event);
  void btnOkClick();
  void btnCancelClick();
  void btnDefaultsClick();
  void btnFileAssociationsClick();

  // The values the controls hold now.
  TOptionsForm Form() const;
  // Layout values are designed at 96 pixels per inch.
  int Scaled(int designValue) const;
  double ScreenPpi() const;

  // The file-associations dialog, shown modally on top; the button is
  // disabled while this is empty.
  std::function<void()> ShowIntegration;

  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QGroupBox* GroupBox4 = nullptr;
  QGroupBox* GroupBox5 = nullptr;
  QGroupBox* GroupBox6 = nullptr;
  QGroupBox* GroupBox7 = nullptr;
  QCheckBox* chFullScreen = nullptr;
  QCheckBox* chHideMouseCursor = nullptr;
  QCheckBox* chChangeWindowSizeToFitImage = nullptr;
  QPushButton* btnFileAssociations = nullptr;
  QCheckBox* chShrinkToFit = nullptr;
  QCheckBox* chZoomToFit = nullptr;
  QComboBox* cbResizeFilter = nullptr;
  QCheckBox* chAlwaysShowFilename = nullptr;
  QCheckBox* chAutoSaveAfterResize = nullptr;
  QCheckBox* chExifRotation = nullptr;
  QTableWidget* lv = nullptr;
  QPushButton* btnDefaults = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void CreateControls();
  void CreateHotkeyList();
  void Place(QWidget* control, int left, int top, int width, int height) const;
  int SelectedRow() const;
  void MarkDuplicateHotkeys();

  TSettings& FSettings;
  TOptionsTarget& FTarget;
  int FScreenPpi;
};
