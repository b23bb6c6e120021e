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

void TPanelButton::SetCaption(const QString& caption) {
  setAccessibleName(caption);
  if (FShowsLetter) setText(caption.left(1));
}

void TPanelButton::ShowLetter() {
  FShowsLetter = true;
  setText(accessibleName().left(1));
}

void TPanelButton::Update() {
  SetCaption(FAction->Caption());
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
