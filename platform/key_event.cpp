#include "platform/key_event.h"

#include <QGuiApplication>

#include <utility>

namespace {

using TKeyMap = std::pair<int, std::uint16_t>;  // Qt key or evdev code -> virtual key

// Keys that only modify others; alone they press no key.
constexpr int kModifierKeys[] = {
    Qt::Key_Shift,   Qt::Key_Control, Qt::Key_Meta,    Qt::Key_Alt,     Qt::Key_AltGr,
    Qt::Key_Super_L, Qt::Key_Super_R, Qt::Key_Hyper_L, Qt::Key_Hyper_R, Qt::Key_Mode_switch,
};

// Keys that are the same on every layout.
constexpr TKeyMap kNamedKeys[] = {
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},  // Shift+Tab
    {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Kana_Lock, VK_KANA},
    {Qt::Key_Hiragana_Katakana, VK_KANA},
    {Qt::Key_Hangul, VK_KANA},
    {Qt::Key_Kanji, VK_KANJI},
    {Qt::Key_Zenkaku_Hankaku, VK_KANJI},
    {Qt::Key_Hangul_Hanja, VK_KANJI},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Henkan, VK_CONVERT},
    {Qt::Key_Muhenkan, VK_NONCONVERT},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_SysReq, VK_SNAPSHOT},  // Alt+Print
    {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},
    {Qt::Key_Menu, VK_APPS},
    {Qt::Key_Sleep, VK_SLEEP},
    {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Back, VK_BROWSER_BACK},
    {Qt::Key_Forward, VK_BROWSER_FORWARD},
    {Qt::Key_Refresh, VK_BROWSER_REFRESH},
    {Qt::Key_Stop, VK_BROWSER_STOP},
    {Qt::Key_Search, VK_BROWSER_SEARCH},
    {Qt::Key_Favorites, VK_BROWSER_FAVORITES},
    {Qt::Key_HomePage, VK_BROWSER_HOME},
    {Qt::Key_VolumeMute, VK_VOLUME_MUTE},
    {Qt::Key_VolumeDown, VK_VOLUME_DOWN},
    {Qt::Key_VolumeUp, VK_VOLUME_UP},
    {Qt::Key_MediaNext, VK_MEDIA_NEXT_TRACK},
    {Qt::Key_MediaPrevious, VK_MEDIA_PREV_TRACK},
    {Qt::Key_MediaStop, VK_MEDIA_STOP},
    {Qt::Key_MediaPlay, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_MediaTogglePlayPause, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_MediaPause, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_LaunchMail, VK_LAUNCH_MAIL},
    {Qt::Key_LaunchMedia, VK_LAUNCH_MEDIA_SELECT},
    {Qt::Key_Launch0, VK_LAUNCH_APP1},
    {Qt::Key_Launch1, VK_LAUNCH_APP2},
};

// Keypad keys other than digits and navigation, by the Qt key.
constexpr TKeyMap kKeypadKeys[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},       {Qt::Key_Comma, VK_SEPARATOR},
    {Qt::Key_Minus, VK_SUBTRACT},    {Qt::Key_Period, VK_DECIMAL}, {Qt::Key_Slash, VK_DIVIDE},
};

// The same keys by their evdev codes: the decimal key of some layouts types
// a comma, yet stays the decimal key.
constexpr TKeyMap kKeypadPhysical[] = {
    {55, VK_MULTIPLY}, {78, VK_ADD}, {121, VK_SEPARATOR}, {74, VK_SUBTRACT}, {83, VK_DECIMAL}, {98, VK_DIVIDE},
};

// The characters of the US layout's punctuation keys, both shift levels.
constexpr TKeyMap kUsPunctuation[] = {
    {';', VK_OEM_1},     {':', VK_OEM_1},     {'=', VK_OEM_PLUS},  {'+', VK_OEM_PLUS},   {',', VK_OEM_COMMA},
    {'<', VK_OEM_COMMA}, {'-', VK_OEM_MINUS}, {'_', VK_OEM_MINUS}, {'.', VK_OEM_PERIOD}, {'>', VK_OEM_PERIOD},
    {'/', VK_OEM_2},     {'?', VK_OEM_2},     {'`', VK_OEM_3},     {'~', VK_OEM_3},      {'[', VK_OEM_4},
    {'{', VK_OEM_4},     {'\\', VK_OEM_5},    {'|', VK_OEM_5},     {']', VK_OEM_6},      {'}', VK_OEM_6},
    {'\'', VK_OEM_7},    {'"', VK_OEM_7},
};

// What Shift with a digit prints on the US layout.
constexpr TKeyMap kUsShiftedDigits[] = {
    {'!', '1'}, {'@', '2'}, {'#', '3'}, {'$', '4'}, {'%', '5'},
    {'^', '6'}, {'&', '7'}, {'*', '8'}, {'(', '9'}, {')', '0'},
};

// The keys whose code comes from their position (evdev codes, US labels).
constexpr TKeyMap kPhysicalKeys[] = {
    {2, '1'},           {3, '2'},          {4, '3'},       {5, '4'},           {6, '5'},
    {7, '6'},           {8, '7'},          {9, '8'},       {10, '9'},          {11, '0'},
    {12, VK_OEM_MINUS}, {13, VK_OEM_PLUS}, {26, VK_OEM_4}, {27, VK_OEM_6},     {39, VK_OEM_1},
    {40, VK_OEM_7},     {41, VK_OEM_3},    {43, VK_OEM_5}, {51, VK_OEM_COMMA}, {52, VK_OEM_PERIOD},
    {53, VK_OEM_2},     {86, VK_OEM_102},  {16, 'Q'},      {17, 'W'},          {18, 'E'},
    {19, 'R'},          {20, 'T'},         {21, 'Y'},      {22, 'U'},          {23, 'I'},
    {24, 'O'},          {25, 'P'},         {30, 'A'},      {31, 'S'},          {32, 'D'},
    {33, 'F'},          {34, 'G'},         {35, 'H'},      {36, 'J'},          {37, 'K'},
    {38, 'L'},          {44, 'Z'},         {45, 'X'},      {46, 'C'},          {47, 'V'},
    {48, 'B'},          {49, 'N'},         {50, 'M'},
};

// X11 and Wayland keycodes are evdev codes shifted by 8.
constexpr std::uint32_t kXkbKeycodeOffset = 8;

// AltGr (ISO level 3 shift) is bound to Mod5 in the xkb keymaps.
constexpr std::uint32_t kXkbMod5Mask = 0x80;

template <std::size_t N>
std::uint16_t Find(const TKeyMap (&map)[N], int key) {
  for (const TKeyMap& m : map)
    if (m.first == key) return m.second;
  return 0;
}

bool IsDigitKey(std::uint16_t vk) { return vk >= '0' && vk <= '9'; }

bool IsModifierKey(int qtKey) {
  for (int k : kModifierKeys)
    if (k == qtKey) return true;
  return false;
}

// Qt codes below this are characters; from it on, named keys (Home, Delete ...).
constexpr int kFirstNamedQtKey = Qt::Key_Escape;

// A keypad key that types a character. With Num Lock off the keypad keys are
// named keys (Ins, Del, Home, End, arrows, PgUp, PgDn, Clear for the 5), as
// on Windows, and are left to the named-key table: the physical key only
// decides which character key it is.
std::uint16_t KeypadKey(int qtKey, std::uint32_t evdev) {
  if (qtKey >= kFirstNamedQtKey) return 0;
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<std::uint16_t>(VK_NUMPAD0 + qtKey - Qt::Key_0);
  if (const std::uint16_t vk = Find(kKeypadPhysical, static_cast<int>(evdev))) return vk;
  return Find(kKeypadKeys, qtKey);
}

}  // namespace

std::uint16_t VirtualKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t xkbKeycode) {
  if (IsModifierKey(qtKey)) return 0;
  const std::uint32_t evdev = xkbKeycode > kXkbKeycodeOffset ? xkbKeycode - kXkbKeycodeOffset : 0;

  if (modifiers & Qt::KeypadModifier)
    if (const std::uint16_t vk = KeypadKey(qtKey, evdev)) return vk;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<std::uint16_t>(VK_F1 + qtKey - Qt::Key_F1);
  if (const std::uint16_t vk = Find(kNamedKeys, qtKey)) return vk;
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<std::uint16_t>(qtKey);

  const std::uint16_t physical = evdev ? Find(kPhysicalKeys, static_cast<int>(evdev)) : 0;
  // The digit row and the ISO key beside left Shift are known by their place.
  if (IsDigitKey(physical) || physical == VK_OEM_102) return physical;
  if (const std::uint16_t vk = Find(kUsPunctuation, qtKey)) return vk;
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<std::uint16_t>(qtKey);
  if (physical) return physical;
  // Without the physical key, a shifted digit is known by what the US layout prints.
  if (!evdev) return Find(kUsShiftedDigits, qtKey);
  return 0;
}

TKeyPress KeyPressFromEvent(const QKeyEvent& event, bool bNativeIsXkb) {
  TKeyPress press;
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  press.Key = VirtualKeyFromQtKey(event.key(), modifiers, bNativeIsXkb ? event.nativeScanCode() : 0);
  if (modifiers & Qt::ShiftModifier) press.Shift |= ShiftStateShift;
  if (modifiers & Qt::AltModifier) press.Shift |= ShiftStateAlt;
  if (modifiers & Qt::ControlModifier) press.Shift |= ShiftStateCtrl;
  press.bAltGr = (modifiers & Qt::GroupSwitchModifier) || event.key() == Qt::Key_AltGr ||
                 (bNativeIsXkb && (event.nativeModifiers() & kXkbMod5Mask));
  return press;
}

TKeyPress KeyPressFromEvent(const QKeyEvent& event) {
  const QString platform = QGuiApplication::platformName();
  const bool bXkb = platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
  return KeyPressFromEvent(event, bXkb);
}

TShortCut ShortCutFromKeyEvent(const QKeyEvent& event) {
  const TKeyPress press = KeyPressFromEvent(event);
  if (press.bAltGr || press.Key == 0) return 0;
  return ShortCut(press.Key, press.Shift);
}
