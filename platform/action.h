#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// A shortcut value as the hotkey table and the menus use it: the virtual-key
// code in the low byte, plus 0x2000 for Shift, 0x4000 for Ctrl and 0x8000 for
// Alt; 0 means no shortcut.
using TShortCut = std::uint16_t;

// One named command of a window: caption, hint, shortcut and a handler.
// Menus, buttons and the key dispatcher all run commands through these
// objects; Qt's own shortcut machinery is never involved.
class TAction : public QObject {
  Q_OBJECT
public:
  TAction(QString name, QString caption, QString hint, QObject* parent = nullptr);

  const QString& Name() const { return FName; }
  const QString& Caption() const { return FCaption; }
  const QString& Hint() const { return FHint; }
  TShortCut ShortCut() const { return FShortCut; }
  bool Enabled() const { return FEnabled; }
  bool Checked() const { return FChecked; }

  void SetCaption(const QString& caption);
  void SetHint(const QString& hint);
  void SetShortCut(TShortCut shortCut);
  void SetEnabled(bool enabled);
  void SetChecked(bool checked);

  void SetOnExecute(std::function<void()> handler);
  bool HasHandler() const { return static_cast<bool>(FOnExecute); }

  // Runs the handler when the action is enabled and has one; true when it ran.
  // Exceptions from the handler propagate to the caller.
  bool Execute();

signals:
  void Changed();

private:
  QString FName;
  QString FCaption;
  QString FHint;
  TShortCut FShortCut = 0;
  bool FEnabled = true;
  bool FChecked = false;
  std::function<void()> FOnExecute;
};

// The actions of one window in their fixed order; dispatch picks the first
// action whose shortcut matches.
class TActionList {
public:
  void Add(TAction* action) { FActions.push_back(action); }
  const std::vector<TAction*>& Items() const { return FActions; }
  TAction* FindByName(const QString& name) const;
  // nullptr for shortcut 0 or when no action carries the shortcut.
  TAction* FindByShortCut(TShortCut shortCut) const;

private:
  std::vector<TAction*> FActions;
};
