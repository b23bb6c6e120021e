#include "viewer/panel_button.h"

#include <utility>

TPanelButton::TPanelButton(const QString& name, QChar glyph, QWidget* parent) : QPushButton(QString(glyph), parent) {
  setObjectName(name);
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
}

void TPanelButton::BindAction(TAction* action, std::function<void(TAction*)> run) {
  FAction = action;
  connect(this, &QPushButton::clicked, this, [this, run = std::move(run)] { run(FAction); });
  connect(action, &TAction::Changed, this, &TPanelButton::Update);
  Update();
}

void TPanelButton::Update() {
  FHint = FAction->Hint();
  setEnabled(FAction->Enabled());
  if (ShowsToolTip) setToolTip(FHint);
}

void TPanelButton::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  if (OnHoverHint) OnHoverHint(FHint);
}

void TPanelButton::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  if (OnHoverHint) OnHoverHint(QString());
}
