#pragma once

#include "settings/command_table.h"

#include <QString>

#include <array>
#include <cstdint>

// One hotkey row: display name, modifier set (1 Shift, 2 Alt, 4 Ctrl; higher
// bits are carried but ignored) and the Windows virtual-key code (0 = none).
struct thotkey {
  QString name;
  std::uint16_t modifiers = 0;
  std::uint16_t Key = 0;
};

// Row indices that other code refers to by meaning.
inline constexpr int HotkeyRowSaveAs = CommandRow(TCommand::AcSaveAs).hotkey.row;

// The factory hotkeys; the row index is the command.
const std::array<thotkey, HotkeyCount>& DefaultHotKeys();

// The action bound to each row (its object name on the main window), and the
// hint the window layout gives that action before binding adds the hotkey.
struct THotkeyBinding {
  const char* actionName;
  const char* baseHint;
};
const std::array<THotkeyBinding, HotkeyCount>& HotkeyBindings();
