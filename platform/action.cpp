#include "platform/action.h"

#include <utility>

TAction::TAction(QString name, QString caption, QString hint, QObject* parent)
    : QObject(parent), FName(std::move(name)), FCaption(std::move(caption)), FHint(std::move(hint)) {}

void TAction::SetCaption(const QString& caption) {
  if (caption == FCaption) return;
  FCaption = caption;
  emit Changed();
}

void TAction::SetHint(const QString& hint) {
  if (hint == FHint) return;
  FHint = hint;
  emit Changed();
}

void TAction::SetShortCut(TShortCut shortCut) {
  if (shortCut == FShortCut) return;
  FShortCut = shortCut;
  emit Changed();
}

void TAction::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  emit Changed();
}

void TAction::SetChecked(bool checked) {
  if (checked == FChecked) return;
  FChecked = checked;
  emit Changed();
}

void TAction::SetOnExecute(std::function<void()> handler) { FOnExecute = std::move(handler); }

bool TAction::Execute() {
  if (!FEnabled || !FOnExecute) return false;
  FOnExecute();
  return true;
}

TAction* TActionList::FindByName(const QString& name) const {
  for (TAction* action : FActions)
    if (action->Name() == name) return action;
  return nullptr;
}

TAction* TActionList::FindByShortCut(TShortCut shortCut) const {
  if (shortCut == 0) return nullptr;
  for (TAction* action : FActions)
    if (action->ShortCut() == shortCut) return action;
  return nullptr;
}
