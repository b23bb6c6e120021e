#pragma once

// Windows virtual-key codes, the shortcut value built from a key and a
// modifier set, and the key names shown in menus, hints and the hotkey list.

#include "platform/action.h"

#include <QString>

#include <cstdint>

// The modifier set of a key press or a hotkey row (the low bits of the VCL
// TShiftState): 1 Shift, 2 Alt, 4 Ctrl. Higher bits may be carried along but
// never take part in a shortcut.
using TShiftState = std::uint16_t;
inline constexpr TShiftState ShiftStateShift = 1;
inline constexpr TShiftState ShiftStateAlt = 2;
inline constexpr TShiftState ShiftStateCtrl = 4;

// Modifier bits of a TShortCut.
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// The virtual-key codes the viewer produces or names.
inline constexpr std::uint16_t VK_BACK = 0x08;
inline constexpr std::uint16_t VK_TAB = 0x09;
inline constexpr std::uint16_t VK_CLEAR = 0x0C;
inline constexpr std::uint16_t VK_RETURN = 0x0D;
inline constexpr std::uint16_t VK_SHIFT = 0x10;
inline constexpr std::uint16_t VK_CONTROL = 0x11;
inline constexpr std::uint16_t VK_MENU = 0x12;  // Alt
inline constexpr std::uint16_t VK_PAUSE = 0x13;
inline constexpr std::uint16_t VK_CAPITAL = 0x14;
inline constexpr std::uint16_t VK_KANA = 0x15;
inline constexpr std::uint16_t VK_KANJI = 0x19;
inline constexpr std::uint16_t VK_ESCAPE = 0x1B;
inline constexpr std::uint16_t VK_CONVERT = 0x1C;
inline constexpr std::uint16_t VK_NONCONVERT = 0x1D;
inline constexpr std::uint16_t VK_SPACE = 0x20;
inline constexpr std::uint16_t VK_PRIOR = 0x21;  // Page Up
inline constexpr std::uint16_t VK_NEXT = 0x22;   // Page Down
inline constexpr std::uint16_t VK_END = 0x23;
inline constexpr std::uint16_t VK_HOME = 0x24;
inline constexpr std::uint16_t VK_LEFT = 0x25;
inline constexpr std::uint16_t VK_UP = 0x26;
inline constexpr std::uint16_t VK_RIGHT = 0x27;
inline constexpr std::uint16_t VK_DOWN = 0x28;
inline constexpr std::uint16_t VK_SNAPSHOT = 0x2C;  // Print Screen
inline constexpr std::uint16_t VK_INSERT = 0x2D;
inline constexpr std::uint16_t VK_DELETE = 0x2E;
inline constexpr std::uint16_t VK_HELP = 0x2F;
inline constexpr std::uint16_t VK_0 = 0x30;  // '0' .. '9' are 0x30 .. 0x39
inline constexpr std::uint16_t VK_A = 0x41;  // 'A' .. 'Z' are 0x41 .. 0x5A
inline constexpr std::uint16_t VK_LWIN = 0x5B;
inline constexpr std::uint16_t VK_RWIN = 0x5C;
inline constexpr std::uint16_t VK_APPS = 0x5D;
inline constexpr std::uint16_t VK_SLEEP = 0x5F;
inline constexpr std::uint16_t VK_NUMPAD0 = 0x60;  // keypad 0 .. 9 are 0x60 .. 0x69
inline constexpr std::uint16_t VK_MULTIPLY = 0x6A;
inline constexpr std::uint16_t VK_ADD = 0x6B;
inline constexpr std::uint16_t VK_SEPARATOR = 0x6C;
inline constexpr std::uint16_t VK_SUBTRACT = 0x6D;
inline constexpr std::uint16_t VK_DECIMAL = 0x6E;
inline constexpr std::uint16_t VK_DIVIDE = 0x6F;
inline constexpr std::uint16_t VK_F1 = 0x70;  // F1 .. F24 are 0x70 .. 0x87
inline constexpr std::uint16_t VK_NUMLOCK = 0x90;
inline constexpr std::uint16_t VK_SCROLL = 0x91;
inline constexpr std::uint16_t VK_BROWSER_BACK = 0xA6;
inline constexpr std::uint16_t VK_BROWSER_FORWARD = 0xA7;
inline constexpr std::uint16_t VK_BROWSER_REFRESH = 0xA8;
inline constexpr std::uint16_t VK_BROWSER_STOP = 0xA9;
inline constexpr std::uint16_t VK_BROWSER_SEARCH = 0xAA;
inline constexpr std::uint16_t VK_BROWSER_FAVORITES = 0xAB;
inline constexpr std::uint16_t VK_BROWSER_HOME = 0xAC;
inline constexpr std::uint16_t VK_VOLUME_MUTE = 0xAD;
inline constexpr std::uint16_t VK_VOLUME_DOWN = 0xAE;
inline constexpr std::uint16_t VK_VOLUME_UP = 0xAF;
inline constexpr std::uint16_t VK_MEDIA_NEXT_TRACK = 0xB0;
inline constexpr std::uint16_t VK_MEDIA_PREV_TRACK = 0xB1;
inline constexpr std::uint16_t VK_MEDIA_STOP = 0xB2;
inline constexpr std::uint16_t VK_MEDIA_PLAY_PAUSE = 0xB3;
inline constexpr std::uint16_t VK_LAUNCH_MAIL = 0xB4;
inline constexpr std::uint16_t VK_LAUNCH_MEDIA_SELECT = 0xB5;
inline constexpr std::uint16_t VK_LAUNCH_APP1 = 0xB6;
inline constexpr std::uint16_t VK_LAUNCH_APP2 = 0xB7;
inline constexpr std::uint16_t VK_OEM_1 = 0xBA;       // ;:
inline constexpr std::uint16_t VK_OEM_PLUS = 0xBB;    // =+
inline constexpr std::uint16_t VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr std::uint16_t VK_OEM_MINUS = 0xBD;   // -_
inline constexpr std::uint16_t VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr std::uint16_t VK_OEM_2 = 0xBF;       // /?
inline constexpr std::uint16_t VK_OEM_3 = 0xC0;       // `~
inline constexpr std::uint16_t VK_OEM_4 = 0xDB;       // [{
inline constexpr std::uint16_t VK_OEM_5 = 0xDC;       // \|
inline constexpr std::uint16_t VK_OEM_6 = 0xDD;       // ]}
inline constexpr std::uint16_t VK_OEM_7 = 0xDE;       // '"
inline constexpr std::uint16_t VK_OEM_102 = 0xE2;     // the extra key beside left Shift on ISO keyboards

// The shortcut of a key with a modifier set: the key in the low byte plus
// scShift, scCtrl and scAlt; 0 for a key code of 256 or more. Modifier bits
// other than Shift, Alt and Ctrl are ignored.
TShortCut ShortCut(std::uint16_t Key, TShiftState Shift);

// The name of a key code ("Enter", "PgUp", "A", "F5", "Num +" ...), empty
// when the code has no name.
QString KeyName(std::uint16_t Key);

// Whether a key press can give this code, so that a hotkey on it can run: a
// key with a name, other than the keys that only modify others (Shift, Ctrl,
// Alt and the Windows keys).
bool IsKeyboardKey(std::uint16_t Key);

// "Shift+", "Ctrl+", "Alt+" (in this order, each when its bit is set)
// followed by the key's name; empty when the key has no name.
QString ShortCutToText(TShortCut shortCut);

// The inverse of ShortCutToText: leading "Shift+", "Ctrl+" (or "^") and
// "Alt+" in any order and any case, then a key name compared without regard
// to case; the lowest key code with that name wins. 0 when no name matches.
TShortCut TextToShortCut(const QString& text);

// Splits a shortcut into its key code (the value without the three modifier
// bits) and its modifier set.
void ShortCutToKey(TShortCut shortCut, std::uint16_t& Key, TShiftState& Shift);
