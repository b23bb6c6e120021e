#pragma once

#include "platform/action.h"

#include <QPushButton>

#include <functional>

// A glyph button of the panel. It runs its action (or its own handler), takes
// the action's hint and follows its changes, never takes the keyboard focus,
// and reports the pointer entering and leaving so the window can show the
// hint line. The action's caption is its accessible name, and, without an
// icon font, its first letter the button's text. Its packed design position
// (Left << 16 | Top) is kept in Tag.
class TPanelButton : public QPushButton {
  Q_OBJECT
public:
  TPanelButton(const QString& name, QChar glyph, QWidget* parent);

  void BindAction(TAction* action, std::function<void(TAction*)> run);
  void SetHint(const QString& hint) { FHint = hint; }
  // For a button without an action: its accessible name.
  void SetCaption(const QString& caption);
  // The caption's first letter in place of the glyph.
  void ShowLetter();
  const QString& Hint() const { return FHint; }
  TAction* BoundAction() const { return FAction; }

  int Tag = 0;
  bool ShowsToolTip = false;  // the platform's tooltip, besides the hint line
  std::function<void(const QString& hint)> OnHoverHint;

protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

private:
  void Update();

  TAction* FAction = nullptr;
  QString FHint;
  bool FShowsLetter = false;
};
