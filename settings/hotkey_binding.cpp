#include "settings/hotkey_binding.h"

#include "platform/keys.h"

namespace {

// Keypad "/" is named "." (see platform/keys.cpp); the hotkey list shows it so.
const QString kKeypadSlashText = QStringLiteral("Num /");

// Drops leading and trailing characters up to code 32 (not Unicode spaces).
QString TrimControl(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first].unicode() <= 32) ++first;
  while (last > first && text[last - 1].unicode() <= 32) --last;
  return text.mid(first, last - first);
}

}  // namespace

QString HotkeyToText(std::uint16_t modifiers, std::uint16_t Key) {
  QString text = ShortCutToText(ShortCut(Key, modifiers));
  if (Key == VK_DIVIDE) {
    const qsizetype dot = text.indexOf(u'.');
    if (dot >= 0) text.replace(dot, 1, kKeypadSlashText);
  }
  return text;
}

void TextToHotkey(const QString& text, std::uint16_t& modifiers, std::uint16_t& Key) {
  QString keyText = text;
  const qsizetype at = keyText.indexOf(kKeypadSlashText);
  if (at >= 0) keyText.replace(at, kKeypadSlashText.size(), QStringLiteral("."));
  TShiftState shift = 0;
  ShortCutToKey(TextToShortCut(keyText), Key, shift);
  modifiers = shift;
}

void BindAction(TAction& action, int row, const TSettings& settings) {
  if (row < 0 || row >= HotkeyCount) return;
  const thotkey& hotkey = settings.HotKeys[row];
  action.SetShortCut(ShortCut(hotkey.Key, hotkey.modifiers));

  QString hint = action.Hint();
  const qsizetype bracket = hint.indexOf(u'(');
  if (bracket >= 0) hint = TrimControl(hint.left(bracket));

  QString keyText = ShortCutToText(action.ShortCut());
  if (keyText == QLatin1String(".")) keyText = QStringLiteral("/");
  action.SetHint(QStringLiteral("%1  (Hotkey: %2)").arg(hint, keyText));
}

void BindHotkeys(const TActionList& actions, const TSettings& settings) {
  const auto& bindings = HotkeyBindings();
  for (int row = 0; row < HotkeyCount; ++row)
    if (TAction* action = actions.FindByName(QLatin1String(bindings[row].actionName)))
      BindAction(*action, row, settings);
}
