#include "platform/keys.h"

#include <array>

namespace {

// Names of the key codes that are not digits, letters or function keys.
//
// Keypad "/" (111) is named "." on purpose: the hotkey list shows it as
// "Num /" by replacing that "." and parses "Num /" back by turning it into
// "." again, so "." must name 111 and no lower code. The main-row full stop
// (190) is therefore "Period", which keeps every named key distinct.
struct TNamedKey {
  std::uint16_t key;
  const char* name;
};

constexpr TNamedKey kNamedKeys[] = {
    {VK_BACK, "BkSp"},
    {VK_TAB, "Tab"},
    {VK_CLEAR, "Clear"},
    {VK_RETURN, "Enter"},
    {VK_SHIFT, "Shift"},
    {VK_CONTROL, "Ctrl"},
    {VK_MENU, "Alt"},
    {VK_PAUSE, "Pause"},
    {VK_CAPITAL, "Caps Lock"},
    {VK_KANA, "Kana"},
    {VK_KANJI, "Kanji"},
    {VK_ESCAPE, "Esc"},
    {VK_CONVERT, "Convert"},
    {VK_NONCONVERT, "NonConvert"},
    {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"},
    {VK_NEXT, "PgDn"},
    {VK_END, "End"},
    {VK_HOME, "Home"},
    {VK_LEFT, "Left"},
    {VK_UP, "Up"},
    {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},
    {VK_SNAPSHOT, "Print Screen"},
    {VK_INSERT, "Ins"},
    {VK_DELETE, "Del"},
    {VK_HELP, "Help"},
    {VK_LWIN, "Left Win"},
    {VK_RWIN, "Right Win"},
    {VK_APPS, "Menu"},
    {VK_SLEEP, "Sleep"},
    {VK_MULTIPLY, "Num *"},
    {VK_ADD, "Num +"},
    {VK_SEPARATOR, "Num ,"},
    {VK_SUBTRACT, "Num -"},
    {VK_DECIMAL, "Num ."},
    {VK_DIVIDE, "."},
    {VK_NUMLOCK, "Num Lock"},
    {VK_SCROLL, "Scroll Lock"},
    {VK_BROWSER_BACK, "Browser Back"},
    {VK_BROWSER_FORWARD, "Browser Forward"},
    {VK_BROWSER_REFRESH, "Browser Refresh"},
    {VK_BROWSER_STOP, "Browser Stop"},
    {VK_BROWSER_SEARCH, "Browser Search"},
    {VK_BROWSER_FAVORITES, "Browser Favorites"},
    {VK_BROWSER_HOME, "Browser Home"},
    {VK_VOLUME_MUTE, "Volume Mute"},
    {VK_VOLUME_DOWN, "Volume Down"},
    {VK_VOLUME_UP, "Volume Up"},
    {VK_MEDIA_NEXT_TRACK, "Media Next"},
    {VK_MEDIA_PREV_TRACK, "Media Previous"},
    {VK_MEDIA_STOP, "Media Stop"},
    {VK_MEDIA_PLAY_PAUSE, "Media Play"},
    {VK_LAUNCH_MAIL, "Mail"},
    {VK_LAUNCH_MEDIA_SELECT, "Media Select"},
    {VK_LAUNCH_APP1, "Launch App1"},
    {VK_LAUNCH_APP2, "Launch App2"},
    {VK_OEM_1, ";"},
    {VK_OEM_PLUS, "="},
    {VK_OEM_COMMA, ","},
    {VK_OEM_MINUS, "-"},
    {VK_OEM_PERIOD, "Period"},
    {VK_OEM_2, "/"},
    {VK_OEM_3, "`"},
    {VK_OEM_4, "["},
    {VK_OEM_5, "\\"},
    {VK_OEM_6, "]"},
    {VK_OEM_7, "'"},
    {VK_OEM_102, "OEM 102"},
};

constexpr int kFunctionKeys = 24;

const std::array<QString, 256>& KeyNames() {
  static const std::array<QString, 256> names = [] {
    std::array<QString, 256> n;
    for (const TNamedKey& k : kNamedKeys) n[k.key] = QString::fromLatin1(k.name);
    for (int i = 0; i < 10; ++i) {
      n[VK_0 + i] = QString(QChar('0' + i));
      n[VK_NUMPAD0 + i] = QString(QChar('0' + i));
    }
    for (int i = 0; i < 26; ++i) n[VK_A + i] = QString(QChar('A' + i));
    for (int i = 0; i < kFunctionKeys; ++i) n[VK_F1 + i] = QStringLiteral("F%1").arg(i + 1);
    return n;
  }();
  return names;
}

const QString kShiftText = QStringLiteral("Shift+");
const QString kCtrlText = QStringLiteral("Ctrl+");
const QString kAltText = QStringLiteral("Alt+");

// Removes prefix from the front of text (ignoring case) when it is there.
bool TakeFront(QString& text, const QString& prefix) {
  if (!text.startsWith(prefix, Qt::CaseInsensitive)) return false;
  text.remove(0, prefix.size());
  return true;
}

}  // namespace

TShortCut ShortCut(std::uint16_t Key, TShiftState Shift) {
  if (Key > 0xFF) return 0;
  TShortCut result = Key;
  if (Shift & ShiftStateShift) result |= scShift;
  if (Shift & ShiftStateCtrl) result |= scCtrl;
  if (Shift & ShiftStateAlt) result |= scAlt;
  return result;
}

QString KeyName(std::uint16_t Key) { return Key < 256 ? KeyNames()[Key] : QString(); }

bool IsKeyboardKey(std::uint16_t Key) {
  switch (Key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LWIN:
    case VK_RWIN: return false;
    default: return !KeyName(Key).isEmpty();
  }
}

QString ShortCutToText(TShortCut shortCut) {
  const QString name = KeyName(shortCut & 0xFF);
  if (name.isEmpty()) return {};
  QString text;
  if (shortCut & scShift) text += kShiftText;
  if (shortCut & scCtrl) text += kCtrlText;
  if (shortCut & scAlt) text += kAltText;
  return text + name;
}

TShortCut TextToShortCut(const QString& text) {
  QString rest = text;
  TShortCut modifiers = 0;
  for (;;) {
    if (TakeFront(rest, kShiftText))
      modifiers |= scShift;
    else if (TakeFront(rest, QStringLiteral("^")) || TakeFront(rest, kCtrlText))
      modifiers |= scCtrl;
    else if (TakeFront(rest, kAltText))
      modifiers |= scAlt;
    else
      break;
  }
  if (rest.isEmpty()) return 0;
  const auto& names = KeyNames();
  for (int key = 8; key < 256; ++key)
    if (!names[key].isEmpty() && names[key].compare(rest, Qt::CaseInsensitive) == 0)
      return static_cast<TShortCut>(key | modifiers);
  return 0;
}

void ShortCutToKey(TShortCut shortCut, std::uint16_t& Key, TShiftState& Shift) {
  Key = shortCut & ~(scShift | scCtrl | scAlt);
  Shift = 0;
  if (shortCut & scShift) Shift |= ShiftStateShift;
  if (shortCut & scCtrl) Shift |= ShiftStateCtrl;
  if (shortCut & scAlt) Shift |= ShiftStateAlt;
}
