#include "edit/tfresizeto.h"

#include "edit/resize_size.h"
#include "platform/key_event.h"
#include "platform/keys.h"
#include "platform/modal_dialog.h"
#include "platform/screen_scale.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {

// Laid out at 96 pixels per inch, as the options dialog: Tahoma 8 points is
// 11 pixels there, and the boxes and buttons have that resolution's heights.
constexpr double DesignPixelsPerInch = 96.0;
constexpr int DesignClientWidth = 314;
constexpr int DesignClientHeight = 174;
constexpr int DesignFontHeight = 11;

}  // namespace

TfResizeTo::TfResizeTo(bool& rememberResize, QWidget* parent, int screenPpi)
    : QDialog(parent, FixedDialogFlags), FRememberResize(rememberResize), FScreenPpi(screenPpi) {
  setObjectName(QStringLiteral("fResizeTo"));
  setWindowTitle(QStringLiteral("Resize to"));
  setModal(true);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(Scaled(DesignFontHeight));
  setFont(font);
  setFixedSize(Scaled(DesignClientWidth), Scaled(DesignClientHeight));
  CreateControls();

  // Key preview: the dialog sees every key before the focused control.
  installEventFilter(this);
  for (QWidget* control : findChildren<QWidget*>()) control->installEventFilter(this);
  FormCreate();
}

double TfResizeTo::ScreenPpi() const { return ScreenPixelsPerInch(this, FScreenPpi, DesignPixelsPerInch); }

int TfResizeTo::Scaled(int designValue) const { return ScaledToPpi(designValue, ScreenPpi(), DesignPixelsPerInch); }

void TfResizeTo::CreateControls() {
  auto place = [this](QWidget* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
  };
  auto label = [this](const char* name, const char* caption, int left, int top) {
    auto* l = new QLabel(QString::fromUtf8(caption), GroupBox1);
    l->setObjectName(QLatin1String(name));
    l->move(Scaled(left), Scaled(top));
    l->adjustSize();
    return l;
  };
  auto button = [this, &place](const char* name, const char* caption, int left) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    // Neither is, or becomes, the default button (see FormKeyDown).
    b->setDefault(false);
    b->setAutoDefault(false);
    place(b, name, left, 143, 95, 25);
    return b;
  };

  btnOk = button("btnOk", "Ok", 100);
  btnCancel = button("btnCancel", "Cancel", 211);

  GroupBox1 = new QGroupBox(QStringLiteral("New resolution"), this);
  place(GroupBox1, "GroupBox1", 8, 8, 297, 129);
  Label1 = label("Label1", "Width", 13, 28);
  Label2 = label("Label2", "Height", 13, 55);
  chKeepAspectRatio = new QCheckBox(QStringLiteral("Keep aspect ratio"), GroupBox1);
  place(chKeepAspectRatio, "chKeepAspectRatio", 13, 81, 267, 17);
  chKeepAspectRatio->setChecked(true);
  chRememberUntilRestart = new QCheckBox(QStringLiteral("Remember until restart"), GroupBox1);
  place(chRememberUntilRestart, "chRememberUntilRestart", 13, 104, 267, 17);
  seWidth = new QLineEdit(GroupBox1);
  place(seWidth, "seWidth", 94, 24, 65, 21);
  seHeight = new QLineEdit(GroupBox1);
  place(seHeight, "seHeight", 94, 51, 65, 21);
  Label1->setBuddy(seWidth);
  Label2->setBuddy(seHeight);

  setTabOrder(btnOk, btnCancel);
  setTabOrder(btnCancel, chKeepAspectRatio);
  setTabOrder(chKeepAspectRatio, chRememberUntilRestart);
  setTabOrder(chRememberUntilRestart, seWidth);
  setTabOrder(seWidth, seHeight);

  connect(btnOk, &QPushButton::clicked, this, &TfResizeTo::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfResizeTo::btnCancelClick);
}

int TfResizeTo::ShowModal() { return ::ShowModal(*this); }

void TfResizeTo::FormCreate() { setResult(QDialog::Rejected); }

void TfResizeTo::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TfResizeTo::FormShow() {
  if (seWidth->text().isEmpty()) seWidth->setText(QString::number(original_width));
  if (seHeight->text().isEmpty()) seHeight->setText(QString::number(original_height));
  original_aspect_ratio = AspectRatio(original_width, original_height);
  btnOk->setFocus(Qt::OtherFocusReason);
  ::CentreOnScreen(*this);
}

bool TfResizeTo::FormKeyDown(const QObject* target, const QKeyEvent& event) {
  const std::uint16_t key = KeyPressFromEvent(event).Key;
  if (key == VK_ESCAPE) {
    reject();
    return true;
  }
  // No button is the default: Enter presses the button that has the focus,
  // and elsewhere does nothing.
  if (key != VK_RETURN) return false;
  if (target == btnOk) btnOk->click();
  if (target == btnCancel) btnCancel->click();
  return true;
}

void TfResizeTo::btnOkClick() {
  FRememberResize = chRememberUntilRestart->isChecked();
  accept();
}

void TfResizeTo::btnCancelClick() { reject(); }

bool TfResizeTo::seHeightKeyPress(const QKeyEvent& event) {
  return ResizeBoxDiscardsKey(event.key(), event.modifiers(), event.text());
}

// Cleared, "Keep aspect ratio" leaves the two boxes independent.
void TfResizeTo::seWidthKeyUp() {
  if (!chKeepAspectRatio->isChecked()) return;
  if (const std::optional<QString> height = HeightFromWidthText(seWidth->text(), original_aspect_ratio))
    seHeight->setText(*height);
}

void TfResizeTo::seHeightKeyUp() {
  if (!chKeepAspectRatio->isChecked()) return;
  if (const std::optional<QString> width = WidthFromHeightText(seHeight->text(), original_aspect_ratio))
    seWidth->setText(*width);
}

bool TfResizeTo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (FormKeyDown(watched, key)) return true;
    if ((watched == seWidth || watched == seHeight) && seHeightKeyPress(key)) return true;
  } else if (event->type() == QEvent::KeyRelease) {
    if (watched == seWidth) seWidthKeyUp();
    if (watched == seHeight) seHeightKeyUp();
  }
  return QDialog::eventFilter(watched, event);
}
