// The window around the picture: the glyph panel, the pointer, the wheel,
// the 100 ms timer and the hint line.
#include "viewer/icon_font.h"
#include "viewer/panel_button.h"
#include "viewer/tfmain.h"

#include <QCursor>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

// The panel's reference box: its width centres the row, its height is the
// bottom strip that keeps the panel up.
constexpr int BevelLeft = 10, BevelTop = 5, BevelWidth = 621, BevelHeight = 49;
constexpr int PanelTimeoutTicks = 10;
constexpr int WheelNotch = 120;

int PackPosition(int left, int top) { return left << 16 | top; }
int PackedLeft(int tag) { return static_cast<int>(static_cast<unsigned>(tag) >> 16); }
int PackedTop(int tag) { return tag & 0xFF; }

}  // namespace

void Tfmain::CreatePanel() {
  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setGeometry(Scaled(BevelLeft), Scaled(BevelTop), Scaled(BevelWidth), Scaled(BevelHeight));
  Bevel1->setProperty("Tag", PackPosition(Bevel1->x(), Bevel1->y()));
  Bevel1->hide();

  for (int index = 0; index < PanelButtonCount; ++index) {
    const TCommand command = PanelCommand(index);
    const TPanelEntry& def = CommandRow(command).panel;
    auto* button = new TPanelButton(QString::fromLatin1(def.name), QChar(def.glyph), this);
    // Without the icon font the glyphs would be empty boxes: letters instead.
    QFont glyphFont = FIconFont->HasGlyphs() ? QFont(FIconFont->Family()) : font();
    glyphFont.setPixelSize(Scaled(def.glyphHeight));
    glyphFont.setStyleStrategy(QFont::PreferQuality);
    button->setFont(glyphFont);
    button->setGeometry(Scaled(def.left), Scaled(def.top), Scaled(def.width), Scaled(def.height));
    button->Tag = PackPosition(button->x(), button->y());
    button->OnHoverHint = [this](const QString& hint) { SetHint(hint); };
    if (command != TCommand::acMenu) {
      button->ShowsToolTip = def.showsToolTip;
      button->BindAction(Action(command), [this](TAction* action) { RunAction(action); });
    } else {
      // The menu button opens the menu at itself, not where the command would.
      btnMenu = button;
      button->SetHint(QStringLiteral("Menu"));
      button->SetCaption(Action(command)->Caption());
      connect(button, &QPushButton::clicked, this, &Tfmain::btnMenuClick);
      button->hide();  // joins the others at the first ShowControlsOnPanel
    }
    if (!FIconFont->HasGlyphs()) button->ShowLetter();
    FPanelButtons.push_back(button);
  }
  SetControlsPosOnPanel();
}

TPanelButton* Tfmain::PanelButton(const char* name) const {
  for (TPanelButton* b : FPanelButtons)
    if (b->objectName() == QLatin1String(name)) return b;
  return nullptr;
}

void Tfmain::SetControlsPosOnPanel() {
  const int left = (width() - Bevel1->width()) / 2;
  const int top = height() - Bevel1->height();
  for (TPanelButton* b : FPanelButtons) b->move(left + PackedLeft(b->Tag), top + PackedTop(b->Tag));
}

void Tfmain::SetWindowPos() { SetControlsPosOnPanel(); }

void Tfmain::ShowControlsOnPanel() {
  for (TPanelButton* b : FPanelButtons) b->show();
}

void Tfmain::HideControlsOnPanel() {
  for (TPanelButton* b : FPanelButtons) b->hide();
}

bool Tfmain::PanelShowing() const {
  const TPanelButton* options = PanelButton("btnOptions");
  return options && !options->isHidden();
}

void Tfmain::SetHint(const QString& hint) {
  if (hint == FHint) return;
  FHint = hint;
  DisplayHint();
}

void Tfmain::DisplayHint() {
  const int panelTop = height() - Bevel1->height();
  update(QRect(0, panelTop - 20, width(), 20));
}

void Tfmain::mousePressEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    // Offsets are in device pixels: the picture follows the pointer exactly.
    const QPoint at = DevicePoint(event->position());
    FView.StartDrag(at.x(), at.y());
  }
  QWidget::mousePressEvent(event);
}

void Tfmain::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double-click is a press as well.
  mousePressEvent(event);
  if (event->button() == Qt::LeftButton) FState.Pointer.bDblClick = true;
}

void Tfmain::mouseReleaseEvent(QMouseEvent* event) {
  if (FState.Pointer.bDblClick) {
    FState.Pointer.bDblClick = false;
    ToggleFullscreen();
  }
  QWidget::mouseReleaseEvent(event);
}

void Tfmain::mouseMoveEvent(QMouseEvent* event) {
  TPointerState& p = FState.Pointer;
  const QPoint pos = event->position().toPoint();
  if (pos.x() != p.iLastMouseX || pos.y() != p.iLastMouseY) {
    p.iPanelTimeout = PanelTimeoutTicks;
    ShowControlsOnPanel();
  }
  p.iLastMouseX = pos.x();
  p.iLastMouseY = pos.y();
  if (!(event->buttons() & Qt::LeftButton)) return;
  const QSize client = DeviceClientSize();
  const QPoint at = DevicePoint(event->position());
  if (FView.DragTo(at.x(), at.y(), client.width(), client.height())) FormPaint();
}

void Tfmain::wheelEvent(QWheelEvent* event) {
  FWheelDelta += event->angleDelta().y();
  while (FWheelDelta >= WheelNotch) {
    FWheelDelta -= WheelNotch;
    RunAction(Action(TCommand::AcZoomIn));
  }
  while (FWheelDelta <= -WheelNotch) {
    FWheelDelta += WheelNotch;
    RunAction(Action(TCommand::AcZoomOut));
  }
  event->accept();
}

void Tfmain::Timer1Timer() {
  if (FTag == 0 && isVisible()) {
    raise();
    activateWindow();
    setFocus();
    FTag = 1;
  }
  TPointerState& p = FState.Pointer;
  if (p.iPanelTimeout > 0) --p.iPanelTimeout;
  if (TmrMessage > 0) {
    --TmrMessage;
    if (TmrMessage == 0) {
      sMessage.clear();
      Repaint();
    }
  }
  const QPoint pointer = mapFromGlobal(QCursor::pos());
  const QRect strip(0, height() - Bevel1->height(), width(), Bevel1->height());
  if (PanelShowing() && p.iPanelTimeout == 0 && !strip.contains(pointer)) HideControlsOnPanel();
}

void Tfmain::contextMenuEvent(QContextMenuEvent* event) { PopupAt(event->globalPos()); }

void Tfmain::acMenuExecute() { PopupAt(QPoint(x() + width() / 2, y() + 100)); }

void Tfmain::btnMenuClick() { PopupAt(btnMenu->mapToGlobal(QPoint(0, 0))); }

void Tfmain::PopupAt(const QPoint& screenPoint) {
  FLastPopupPoint = screenPoint;
  PM->popup(screenPoint);
}
