#pragma once

// Turns Qt key events into the Windows virtual-key codes of the physical key
// and the Shift/Alt/Ctrl set that hotkeys are made of.

#include "platform/action.h"
#include "platform/keys.h"

#include <QKeyEvent>

#include <cstdint>

struct TKeyPress {
  std::uint16_t Key = 0;  // virtual-key code; 0 for none (a modifier key alone, an unknown key)
  TShiftState Shift = 0;  // ShiftStateShift, ShiftStateAlt, ShiftStateCtrl
  bool bAltGr = false;    // AltGr (ISO level 3 shift) was held
};

// The virtual-key code for a Qt key with its modifiers. xkbKeycode is the
// X11/Wayland keycode of the physical key (evdev code + 8) or 0 when unknown.
// Letters follow the layout as on Windows (the key that prints A is A); the
// digit row follows the physical key whatever the layout prints; other
// punctuation follows the US character the layout produces, else the
// physical key. Keypad keys (Qt::KeypadModifier) that type a character keep
// their own codes (keypad digits, operators, the decimal key, whatever the
// layout types on it); with Num Lock off the keypad's navigation keys are
// Ins, Del, Home, End, the arrows, PgUp, PgDn and Clear, as on Windows.
std::uint16_t VirtualKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t xkbKeycode);

// The key press of a key event. The event's native scan code and modifiers
// are trusted as X11/Wayland (xkb) values only when bNativeIsXkb is set.
TKeyPress KeyPressFromEvent(const QKeyEvent& event, bool bNativeIsXkb);
// The same, trusting the native values on the xcb and wayland platforms.
TKeyPress KeyPressFromEvent(const QKeyEvent& event);

// The shortcut a key event forms; 0 while AltGr is held or for no key.
TShortCut ShortCutFromKeyEvent(const QKeyEvent& event);
