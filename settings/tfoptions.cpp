#include "settings/tfoptions.h"

#include "platform/application_title.h"
#include "platform/key_event.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"
#include "platform/screen_scale.h"
#include "platform/wrap_check_box.h"
#include "settings/hotkey_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTableWidget>

namespace {

constexpr double DesignPixelsPerInch = 96.0;
constexpr int DesignClientWidth = 621;
constexpr int DesignClientHeight = 429;
constexpr int DesignFontHeight = 11;  // 8 points at 96 pixels per inch
// The hotkey list's rows and header, the height of a report list view's.
constexpr int DesignRowHeight = 17;
constexpr int DesignHeaderHeight = 19;
constexpr int FunctionColumn = 0;
constexpr int HotkeyColumn = 1;

const char* const kResizeFilters[ResizeFilterCount] = {
    "Box, pulse, Fourier window, 1st order (constant) b-spline",
    "Mitchell & Netravali's two-param cubic filter",
    "Bilinear filter",
    "4th order (cubic) b-spline",
    "Catmull-Rom spline, Overhauser spline",
    "Lanczos3 filter",
};

const char* const kSaveFailedText =
    "The settings could not be saved. They apply until the viewer is closed, and the next start uses the ones "
    "saved before.";

QTableWidgetItem* ReadOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

TfOptions::TfOptions(TSettings& settings, TOptionsTarget& target, QWidget* parent, int screenPpi)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FSettings(settings),
      FTarget(target),
      FScreenPpi(screenPpi) {
  setObjectName(QStringLiteral("fOptions"));
  setWindowTitle(QStringLiteral("Options"));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(Scaled(DesignFontHeight));
  setFont(font);
  setFixedSize(Scaled(DesignClientWidth), Scaled(DesignClientHeight));
  CreateControls();

  // Key preview: the dialog sees every key before the focused control.
  installEventFilter(this);
  for (QWidget* control : std::initializer_list<QWidget*>{chFullScreen, chHideMouseCursor, chChangeWindowSizeToFitImage,
                                                          btnFileAssociations, chShrinkToFit, chZoomToFit,
                                                          cbResizeFilter, chAlwaysShowFilename, chAutoSaveAfterResize,
                                                          chExifRotation, lv, btnDefaults, btnOk, btnCancel})
    control->installEventFilter(this);
}

double TfOptions::ScreenPpi() const { return ScreenPixelsPerInch(this, FScreenPpi, DesignPixelsPerInch); }

int TfOptions::Scaled(int designValue) const { return ScaledToPpi(designValue, ScreenPpi(), DesignPixelsPerInch); }

void TfOptions::Place(QWidget* control, int left, int top, int width, int height) const {
  control->setGeometry(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
}

void TfOptions::CreateControls() {
  auto groupBox = [this](const char* name, const char* caption, int left, int top, int width, int height) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), this);
    box->setObjectName(QLatin1String(name));
    Place(box, left, top, width, height);
    return box;
  };
  auto checkBox = [this](QCheckBox* box, const char* name, int left, int top, int width, int height) {
    box->setObjectName(QLatin1String(name));
    Place(box, left, top, width, height);
    return box;
  };
  auto button = [this](QWidget* owner, const char* name, const char* caption, int left, int top, int width,
                       int height) {
    auto* b = new QPushButton(QString::fromUtf8(caption), owner);
    b->setObjectName(QLatin1String(name));
    // No button is the default: Enter in the hotkey list is a key to capture.
    b->setAutoDefault(false);
    b->setDefault(false);
    Place(b, left, top, width, height);
    return b;
  };

  GroupBox2 = groupBox("GroupBox2", "Window Attributes", 8, 18, 281, 73);
  chFullScreen = checkBox(new QCheckBox(QStringLiteral("Full-screen"), GroupBox2), "chFullScreen", 19, 22, 294, 17);
  chHideMouseCursor = checkBox(new QCheckBox(QStringLiteral("Hide mouse cursor in full-screen"), GroupBox2),
                               "chHideMouseCursor", 19, 45, 294, 17);
  chHideMouseCursor->setEnabled(false);

  GroupBox1 = groupBox("GroupBox1", "Window Position", 8, 16, 281, 50);
  chChangeWindowSizeToFitImage = checkBox(new QCheckBox(QStringLiteral("Change window size to fit image"), GroupBox1),
                                          "chChangeWindowSizeToFitImage", 19, 24, 294, 17);
  GroupBox1->hide();

  GroupBox4 = groupBox("GroupBox4", "Windows Shell Integration", 8, 97, 281, 45);
  btnFileAssociations = button(GroupBox4, "btnFileAssociations", "File Associations", 48, 15, 185, 25);

  GroupBox3 = groupBox("GroupBox3", "Auto image size", 8, 148, 281, 78);
  chShrinkToFit = checkBox(new QCheckBox(QStringLiteral("Shrink to fit window/screen"), GroupBox3), "chShrinkToFit", 19,
                           24, 294, 17);
  chZoomToFit =
      checkBox(new QCheckBox(QStringLiteral("Zoom to fit window/screen"), GroupBox3), "chZoomToFit", 19, 47, 294, 17);

  GroupBox6 = groupBox("GroupBox6", "Resize filter (affects downscaling/upscaling quality)", 8, 231, 281, 57);
  cbResizeFilter = new QComboBox(GroupBox6);
  cbResizeFilter->setObjectName(QStringLiteral("cbResizeFilter"));
  cbResizeFilter->setEditable(false);
  for (const char* filter : kResizeFilters) cbResizeFilter->addItem(QString::fromUtf8(filter));
  cbResizeFilter->setCurrentIndex(-1);  // nothing selected until the settings name an item
  Place(cbResizeFilter, 16, 24, 249, 21);

  GroupBox7 = groupBox("GroupBox7", "Misc", 8, 294, 281, 99);
  chAlwaysShowFilename = checkBox(new QCheckBox(QStringLiteral("Always show file name on picture"), GroupBox7),
                                  "chAlwaysShowFilename", 19, 18, 262, 17);
  chAutoSaveAfterResize =
      checkBox(new QCheckBox(QStringLiteral("Automatically save the file after resize commands"), GroupBox7),
               "chAutoSaveAfterResize", 19, 40, 262, 17);
  chExifRotation = checkBox(
      new TWrapCheckBox(QStringLiteral("Load and rotate according to Exif 'Orientation' tag if available"), GroupBox7),
      "chExifRotation", 19, 58, 262, 34);

  GroupBox5 = groupBox("GroupBox5", "Customize hotkeys", 295, 18, 321, 375);
  CreateHotkeyList();

  btnDefaults = button(this, "btnDefaults", "Defaults", 8, 399, 122, 25);
  btnOk = button(this, "btnOk", "Ok", 395, 399, 100, 25);
  btnCancel = button(this, "btnCancel", "Cancel", 509, 399, 100, 25);

  connect(btnOk, &QPushButton::clicked, this, &TfOptions::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfOptions::btnCancelClick);
  connect(btnDefaults, &QPushButton::clicked, this, &TfOptions::btnDefaultsClick);
  connect(btnFileAssociations, &QPushButton::clicked, this, &TfOptions::btnFileAssociationsClick);
}

void TfOptions::CreateHotkeyList() {
  // A report-style list view: two columns, grid lines, whole rows selected,
  // nothing edited in place.
  lv = new QTableWidget(0, 2, GroupBox5);
  lv->setObjectName(QStringLiteral("lv"));
  lv->setHorizontalHeaderLabels({QStringLiteral("Function"), QStringLiteral("Hotkey")});
  lv->verticalHeader()->hide();
  lv->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lv->verticalHeader()->setMinimumSectionSize(1);
  lv->verticalHeader()->setDefaultSectionSize(Scaled(DesignRowHeight));
  QHeaderView* header = lv->horizontalHeader();
  header->setFixedHeight(Scaled(DesignHeaderHeight));
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lv->setColumnWidth(FunctionColumn, Scaled(120));
  lv->setColumnWidth(HotkeyColumn, Scaled(150));
  lv->setShowGrid(true);
  lv->setWordWrap(false);
  lv->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv->setSelectionMode(QAbstractItemView::SingleSelection);
  lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab leaves the list, as it leaves any control of a dialog.
  lv->setTabKeyNavigation(false);
  Place(lv, 7, 18, 306, 351);
}

int TfOptions::ShowModal() { return ::ShowModal(*this); }

void TfOptions::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TfOptions::FormShow() {
  btnFileAssociations->setEnabled(static_cast<bool>(ShowIntegration));
  ReflectSettings();
  ::CentreOnScreen(*this);
}

void TfOptions::ReflectSettings() {
  const TOptionsForm form = OptionsFormFromSettings(FSettings);
  chChangeWindowSizeToFitImage->setChecked(form.ChangeWindowSizeToFitImage);
  chFullScreen->setChecked(form.FullScreen);
  chHideMouseCursor->setChecked(form.HideMouseCursor);
  chShrinkToFit->setChecked(form.ShrinkToFit);
  chZoomToFit->setChecked(form.ZoomToFit);
  chAutoSaveAfterResize->setChecked(form.AutoSaveAfterResize);
  chExifRotation->setChecked(form.ExifRotation);
  chAlwaysShowFilename->setChecked(form.AlwaysShowFilename);
  // An index outside the list leaves the selection as it was.
  if (form.ResizeFilter >= 0 && form.ResizeFilter < cbResizeFilter->count())
    cbResizeFilter->setCurrentIndex(form.ResizeFilter);

  lv->setRowCount(0);
  lv->setRowCount(HotkeyCount);
  for (int row = 0; row < HotkeyCount; ++row) {
    lv->setItem(row, FunctionColumn, ReadOnlyItem(DefaultHotKeys()[row].name));
    lv->setItem(row, HotkeyColumn, ReadOnlyItem(form.HotkeyTexts[row]));
  }
  MarkDuplicateHotkeys();
}

int TfOptions::SelectedRow() const {
  const QList<QTableWidgetItem*> selected = lv->selectedItems();
  return selected.isEmpty() ? -1 : selected.first()->row();
}

void TfOptions::lvKeyDown(const QKeyEvent& event) {
  const int row = SelectedRow();
  QTableWidgetItem* cell = row >= 0 ? lv->item(row, HotkeyColumn) : nullptr;
  if (!cell) return;
  const QString text = CapturedHotkeyText(ShortCutFromKeyEvent(event));
  if (text.isEmpty()) return;
  cell->setText(text);
  MarkDuplicateHotkeys();
}

void TfOptions::MarkDuplicateHotkeys() {
  const TOptionsForm form = Form();
  const std::array<bool, HotkeyCount> duplicate = DuplicateHotkeyRows(form.HotkeyTexts);
  for (int row = 0; row < HotkeyCount; ++row) {
    QTableWidgetItem* cell = lv->item(row, HotkeyColumn);
    if (!cell) continue;
    QString others;
    if (duplicate[row]) {
      const TShortCut own = HotkeyTextShortCut(form.HotkeyTexts[row]);
      for (int other = 0; other < HotkeyCount; ++other)
        if (other != row && HotkeyTextShortCut(form.HotkeyTexts[other]) == own)
          others += (others.isEmpty() ? QString() : QStringLiteral(", ")) + DefaultHotKeys()[other].name;
    }
    cell->setForeground(duplicate[row] ? QBrush(QColor(DuplicateHotkeyRgb)) : QBrush());
    cell->setToolTip(duplicate[row] ? QStringLiteral("Also the hotkey of: ") + others : QString());
  }
}

bool TfOptions::FormKeyDown(const QKeyEvent& event) {
  if (KeyPressFromEvent(event).Key != VK_ESCAPE) return false;
  reject();
  return true;
}

bool TfOptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (FormKeyDown(key)) return true;
    // No button is the default (Enter in the list is a key to capture), but
    // a focused button takes Enter as it takes Space.
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)) {
      if (!key.isAutoRepeat()) button->click();
      return true;
    }
    // Tab and Shift+Tab move the focus on as in any dialog and never reach
    // the list; with Ctrl they are hotkeys like any other.
    const bool bFocusKey = (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) &&
                           !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (watched == lv && !bFocusKey) lvKeyDown(key);
  }
  // Not consumed: the list's own reaction (an arrow key moving the
  // selection) follows the capture.
  return QDialog::eventFilter(watched, event);
}

TOptionsForm TfOptions::Form() const {
  TOptionsForm form = OptionsFormFromSettings(FSettings);  // rows the list lacks stay as stored
  form.ChangeWindowSizeToFitImage = chChangeWindowSizeToFitImage->isChecked();
  form.FullScreen = chFullScreen->isChecked();
  form.HideMouseCursor = chHideMouseCursor->isChecked();
  form.ShrinkToFit = chShrinkToFit->isChecked();
  form.ZoomToFit = chZoomToFit->isChecked();
  form.ResizeFilter = cbResizeFilter->currentIndex();
  form.AutoSaveAfterResize = chAutoSaveAfterResize->isChecked();
  form.ExifRotation = chExifRotation->isChecked();
  form.AlwaysShowFilename = chAlwaysShowFilename->isChecked();
  for (int row = 0; row < HotkeyCount && row < lv->rowCount(); ++row)
    if (const QTableWidgetItem* cell = lv->item(row, HotkeyColumn)) form.HotkeyTexts[row] = cell->text();
  return form;
}

void TfOptions::btnOkClick() {
  const TOptionsOutcome outcome = CommitOptions(Form(), FSettings, FTarget);
  if (!outcome.bSaved) ShowErrorBox(this, QLatin1String(kSaveFailedText), QLatin1String(ApplicationTitle));
  accept();
}

void TfOptions::btnCancelClick() { reject(); }

void TfOptions::btnDefaultsClick() {
  const TSettings stored = FSettings;
  DefaultSettings(FSettings);
  ReflectSettings();
  FSettings = stored;
}

void TfOptions::btnFileAssociationsClick() {
  if (ShowIntegration) ShowIntegration();
}
