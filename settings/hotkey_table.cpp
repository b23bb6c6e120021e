#include "settings/hotkey_table.h"

const std::array<thotkey, HotkeyCount>& DefaultHotKeys() {
  static const std::array<thotkey, HotkeyCount> table = [] {
    std::array<thotkey, HotkeyCount> t;
    for (int i = 0; i < HotkeyCount; ++i) {
      const THotkeyDefault& hotkey = CommandRow(HotkeyCommand(i)).hotkey;
      t[i] = thotkey{QString::fromLatin1(hotkey.name), hotkey.modifiers, hotkey.key};
    }
    return t;
  }();
  return table;
}

const std::array<THotkeyBinding, HotkeyCount>& HotkeyBindings() {
  static constexpr std::array<THotkeyBinding, HotkeyCount> table = [] {
    std::array<THotkeyBinding, HotkeyCount> t{};
    for (int i = 0; i < HotkeyCount; ++i) {
      const TCommandRow& row = CommandRow(HotkeyCommand(i));
      t[std::size_t(i)] = THotkeyBinding{row.name, row.hint};
    }
    return t;
  }();
  return table;
}
