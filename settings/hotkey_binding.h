#pragma once

// Binding the hotkey rows of the settings to the main window's actions, and
// the hotkey texts of the options dialog.

#include "platform/action.h"
#include "settings/settings.h"

#include <QString>

#include <cstdint>

// The display text of a hotkey ("Ctrl+W", "Space"); keypad "/" shows as
// "Num /". Empty when the key has no name.
QString HotkeyToText(std::uint16_t modifiers, std::uint16_t Key);

// Sets modifiers and Key from a display text; "Num /" is keypad "/". A text
// that names no key gives key 0 with no modifiers.
void TextToHotkey(const QString& text, std::uint16_t& modifiers, std::uint16_t& Key);

// Gives action the shortcut of hotkey row `row` of settings and the hint
// "<base hint>  (Hotkey: <shortcut text>)"; binding again replaces the suffix.
void BindAction(TAction& action, int row, const TSettings& settings);

// Binds rows 0 to 46 to their actions (HotkeyBindings()); an action missing
// from actions is skipped.
void BindHotkeys(const TActionList& actions, const TSettings& settings);
