// Key events to virtual-key codes: events as QTest sends them on the
// offscreen platform, and events as X11/Wayland deliver them with the keycode
// of the physical key.
#include "platform/key_event.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include <memory>
#include <set>

namespace {

// Keeps the last key event it received.
class TKeyCatcher : public QWidget {
public:
  std::unique_ptr<QKeyEvent> Last;

protected:
  void keyPressEvent(QKeyEvent* event) override { Last.reset(static_cast<QKeyEvent*>(event->clone())); }
};

class KeyEventTest : public ::testing::Test {
protected:
  // The key press that QTest's click of key with modifiers delivers.
  TKeyPress Click(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    FWidget.Last.reset();
    QTest::keyClick(&FWidget, key, modifiers);
    EXPECT_TRUE(FWidget.Last);
    return FWidget.Last ? KeyPressFromEvent(*FWidget.Last) : TKeyPress{};
  }
  std::uint16_t KeyOf(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return Click(key, modifiers).Key;
  }

  TKeyCatcher FWidget;
};

// An event as the xcb or wayland platform delivers it: keycode = evdev + 8.
TKeyPress Native(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t evdev, std::uint32_t nativeModifiers = 0) {
  const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, evdev + 8, 0, nativeModifiers);
  return KeyPressFromEvent(event, true);
}

TEST_F(KeyEventTest, KeypadOperatorsDifferFromTheMainRow) {
  EXPECT_EQ(KeyOf(Qt::Key_Plus, Qt::KeypadModifier), VK_ADD);
  EXPECT_EQ(KeyOf(Qt::Key_Minus, Qt::KeypadModifier), VK_SUBTRACT);
  EXPECT_EQ(KeyOf(Qt::Key_Asterisk, Qt::KeypadModifier), VK_MULTIPLY);
  EXPECT_EQ(KeyOf(Qt::Key_Slash, Qt::KeypadModifier), VK_DIVIDE);
  EXPECT_EQ(KeyOf(Qt::Key_Period, Qt::KeypadModifier), VK_DECIMAL);
  EXPECT_EQ(KeyOf(Qt::Key_5, Qt::KeypadModifier), VK_NUMPAD0 + 5);
  EXPECT_EQ(KeyOf(Qt::Key_Enter, Qt::KeypadModifier), VK_RETURN);
  EXPECT_EQ(KeyOf(Qt::Key_Home, Qt::KeypadModifier), VK_HOME);  // keypad 7 without Num Lock

  EXPECT_EQ(KeyOf(Qt::Key_Equal), VK_OEM_PLUS);
  EXPECT_EQ(KeyOf(Qt::Key_Plus, Qt::ShiftModifier), VK_OEM_PLUS);
  EXPECT_EQ(KeyOf(Qt::Key_Minus), VK_OEM_MINUS);
  EXPECT_EQ(KeyOf(Qt::Key_Slash), VK_OEM_2);
  EXPECT_EQ(KeyOf(Qt::Key_Period), VK_OEM_PERIOD);
  EXPECT_EQ(KeyOf(Qt::Key_Comma), VK_OEM_COMMA);
  EXPECT_EQ(KeyOf(Qt::Key_Asterisk, Qt::ShiftModifier), '8');
  EXPECT_EQ(KeyOf(Qt::Key_Backslash), VK_OEM_5);
  EXPECT_EQ(KeyOf(Qt::Key_QuoteDbl, Qt::ShiftModifier), VK_OEM_7);
}

TEST_F(KeyEventTest, ShiftWithADigitIsTheDigitWithShift) {
  const TKeyPress exclam = Click(Qt::Key_Exclam, Qt::ShiftModifier);
  EXPECT_EQ(exclam.Key, '1');
  EXPECT_EQ(exclam.Shift, ShiftStateShift);
  EXPECT_EQ(KeyOf(Qt::Key_1, Qt::ShiftModifier), '1');
  EXPECT_EQ(KeyOf(Qt::Key_At, Qt::ShiftModifier), '2');
  EXPECT_EQ(KeyOf(Qt::Key_ParenRight, Qt::ShiftModifier), '0');
  EXPECT_EQ(KeyOf(Qt::Key_0), '0');
}

TEST_F(KeyEventTest, LettersWhateverTheCase) {
  FWidget.Last.reset();
  QTest::keyClick(&FWidget, 'q');
  ASSERT_TRUE(FWidget.Last);
  EXPECT_EQ(KeyPressFromEvent(*FWidget.Last).Key, 'Q');
  const TKeyPress shifted = Click(Qt::Key_Z, Qt::ShiftModifier);
  EXPECT_EQ(shifted.Key, 'Z');
  EXPECT_EQ(shifted.Shift, ShiftStateShift);
  EXPECT_EQ(KeyOf(Qt::Key_A), 'A');
}

TEST_F(KeyEventTest, NamedKeys) {
  const std::pair<Qt::Key, std::uint16_t> keys[] = {
      {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},       {Qt::Key_Return, 13}, {Qt::Key_Escape, 27}, {Qt::Key_Space, 32},
      {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},    {Qt::Key_Home, 36},   {Qt::Key_Left, 37},
      {Qt::Key_Up, 38},       {Qt::Key_Right, 39},    {Qt::Key_Down, 40},   {Qt::Key_Insert, 45}, {Qt::Key_Delete, 46},
      {Qt::Key_F1, 112},      {Qt::Key_F6, 117},      {Qt::Key_F12, 123},   {Qt::Key_F24, 135},   {Qt::Key_Menu, 93},
  };
  for (const auto& [qtKey, vk] : keys) EXPECT_EQ(KeyOf(qtKey), vk) << vk;
  const TKeyPress backtab = Click(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(backtab.Key, VK_TAB);
  EXPECT_EQ(backtab.Shift, ShiftStateShift);
}

TEST_F(KeyEventTest, ModifierKeysAlonePressNoKey) {
  EXPECT_EQ(KeyOf(Qt::Key_Shift, Qt::ShiftModifier), 0);
  EXPECT_EQ(KeyOf(Qt::Key_Control, Qt::ControlModifier), 0);
  EXPECT_EQ(KeyOf(Qt::Key_Alt, Qt::AltModifier), 0);
  EXPECT_EQ(KeyOf(Qt::Key_Meta, Qt::MetaModifier), 0);
  EXPECT_EQ(KeyPressFromEvent(QKeyEvent(QEvent::KeyPress, Qt::Key_AltGr, Qt::NoModifier)).Key, 0);
  FWidget.Last.reset();
  QTest::keyClick(&FWidget, Qt::Key_Control, Qt::ControlModifier);
  ASSERT_TRUE(FWidget.Last);
  EXPECT_EQ(ShortCutFromKeyEvent(*FWidget.Last), 0);
}

TEST_F(KeyEventTest, ModifierStateAndShortCut) {
  const TKeyPress all = Click(Qt::Key_W, Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
  EXPECT_EQ(all.Key, 'W');
  EXPECT_EQ(all.Shift, ShiftStateShift | ShiftStateAlt | ShiftStateCtrl);
  EXPECT_FALSE(all.bAltGr);

  FWidget.Last.reset();
  QTest::keyClick(&FWidget, Qt::Key_W, Qt::ControlModifier);
  ASSERT_TRUE(FWidget.Last);
  EXPECT_EQ(ShortCutFromKeyEvent(*FWidget.Last), 0x4057);
  QTest::keyClick(&FWidget, Qt::Key_Plus, Qt::ShiftModifier | Qt::KeypadModifier);
  EXPECT_EQ(ShortCutFromKeyEvent(*FWidget.Last), scShift | VK_ADD);
  QTest::keyClick(&FWidget, Qt::Key_Backspace, Qt::ShiftModifier);
  EXPECT_EQ(ShortCutFromKeyEvent(*FWidget.Last), scShift | VK_BACK);
}

TEST_F(KeyEventTest, NoShortCutWhileAltGrIsHeld) {
  FWidget.Last.reset();
  QTest::keyClick(&FWidget, Qt::Key_Q, Qt::GroupSwitchModifier);
  ASSERT_TRUE(FWidget.Last);
  EXPECT_TRUE(KeyPressFromEvent(*FWidget.Last).bAltGr);
  EXPECT_EQ(ShortCutFromKeyEvent(*FWidget.Last), 0);

  // On X11 and Wayland AltGr shows as Mod5 in the native modifiers; Num Lock (Mod2) does not count.
  EXPECT_TRUE(Native(Qt::Key_At, Qt::NoModifier, 16, 0x80).bAltGr);
  EXPECT_FALSE(Native(Qt::Key_Q, Qt::NoModifier, 16, 0x10).bAltGr);
  // Native modifiers are not trusted from other platforms.
  const QKeyEvent foreign(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, 0, 0, 0x80);
  EXPECT_FALSE(KeyPressFromEvent(foreign, false).bAltGr);
}

TEST(KeyEventNative, ThePhysicalKeyDecidesDigitsAndNonLatinLetters) {
  // French AZERTY: the key of "1" prints "&", with Shift "1".
  EXPECT_EQ(Native(Qt::Key_Ampersand, Qt::NoModifier, 2).Key, '1');
  EXPECT_EQ(Native(Qt::Key_1, Qt::ShiftModifier, 2).Key, '1');
  EXPECT_EQ(Native(Qt::Key_Eacute, Qt::NoModifier, 3).Key, '2');
  // US: Shift+2 prints "@".
  EXPECT_EQ(Native(Qt::Key_At, Qt::ShiftModifier, 3).Key, '2');
  // Letters follow the layout: AZERTY's A sits where US has Q.
  EXPECT_EQ(Native(Qt::Key_A, Qt::NoModifier, 16).Key, 'A');
  EXPECT_EQ(Native(Qt::Key_M, Qt::NoModifier, 39).Key, 'M');
  // A Cyrillic letter is the Latin letter of its key.
  EXPECT_EQ(Native(0x0424, Qt::NoModifier, 30).Key, 'A');
  EXPECT_EQ(Native(0x0419, Qt::ShiftModifier, 16).Key, 'Q');
  // Punctuation: the US character when the layout types one, else the key's place.
  EXPECT_EQ(Native(Qt::Key_Comma, Qt::NoModifier, 50).Key, VK_OEM_COMMA);   // AZERTY ","
  EXPECT_EQ(Native(Qt::Key_ssharp, Qt::NoModifier, 12).Key, VK_OEM_MINUS);  // German "ß"
  EXPECT_EQ(Native(Qt::Key_NumberSign, Qt::NoModifier, 43).Key, VK_OEM_5);  // German "#", not 3
  EXPECT_EQ(Native(Qt::Key_Less, Qt::NoModifier, 86).Key, VK_OEM_102);
  // Keypad keys keep their codes whatever they type.
  EXPECT_EQ(Native(Qt::Key_Comma, Qt::KeypadModifier, 83).Key, VK_DECIMAL);
  EXPECT_EQ(Native(Qt::Key_Slash, Qt::KeypadModifier, 98).Key, VK_DIVIDE);
  EXPECT_EQ(Native(Qt::Key_Slash, Qt::NoModifier, 53).Key, VK_OEM_2);
}

// Each key of the keypad: its evdev code, what Qt reports with Num Lock on
// and off, and the virtual key Windows gives in each state.
struct TKeypadKey {
  std::uint32_t evdev;
  int qtKeyNumLockOn;
  std::uint16_t vkNumLockOn;
  int qtKeyNumLockOff;
  std::uint16_t vkNumLockOff;
};
constexpr TKeypadKey kKeypad[] = {
    {82, Qt::Key_0, VK_NUMPAD0, Qt::Key_Insert, VK_INSERT},
    {79, Qt::Key_1, VK_NUMPAD0 + 1, Qt::Key_End, VK_END},
    {80, Qt::Key_2, VK_NUMPAD0 + 2, Qt::Key_Down, VK_DOWN},
    {81, Qt::Key_3, VK_NUMPAD0 + 3, Qt::Key_PageDown, VK_NEXT},
    {75, Qt::Key_4, VK_NUMPAD0 + 4, Qt::Key_Left, VK_LEFT},
    {76, Qt::Key_5, VK_NUMPAD0 + 5, Qt::Key_Clear, VK_CLEAR},  // xkb's KP_Begin
    {77, Qt::Key_6, VK_NUMPAD0 + 6, Qt::Key_Right, VK_RIGHT},
    {71, Qt::Key_7, VK_NUMPAD0 + 7, Qt::Key_Home, VK_HOME},
    {72, Qt::Key_8, VK_NUMPAD0 + 8, Qt::Key_Up, VK_UP},
    {73, Qt::Key_9, VK_NUMPAD0 + 9, Qt::Key_PageUp, VK_PRIOR},
    {83, Qt::Key_Period, VK_DECIMAL, Qt::Key_Delete, VK_DELETE},
    {83, Qt::Key_Comma, VK_DECIMAL, Qt::Key_Delete, VK_DELETE},  // layouts whose decimal key types ","
    // Num Lock does not change these.
    {98, Qt::Key_Slash, VK_DIVIDE, Qt::Key_Slash, VK_DIVIDE},
    {55, Qt::Key_Asterisk, VK_MULTIPLY, Qt::Key_Asterisk, VK_MULTIPLY},
    {74, Qt::Key_Minus, VK_SUBTRACT, Qt::Key_Minus, VK_SUBTRACT},
    {78, Qt::Key_Plus, VK_ADD, Qt::Key_Plus, VK_ADD},
    {96, Qt::Key_Enter, VK_RETURN, Qt::Key_Enter, VK_RETURN},
};
constexpr std::uint32_t kXkbNumLock = 0x10;  // Mod2

TEST(KeyEventNative, EveryKeypadKeyInBothNumLockStates) {
  for (const TKeypadKey& k : kKeypad) {
    SCOPED_TRACE(k.evdev);
    EXPECT_EQ(Native(k.qtKeyNumLockOn, Qt::KeypadModifier, k.evdev, kXkbNumLock).Key, k.vkNumLockOn);
    EXPECT_EQ(Native(k.qtKeyNumLockOff, Qt::KeypadModifier, k.evdev).Key, k.vkNumLockOff);
  }
  // Keypad Delete with Num Lock off is the Delete hotkey, with Ctrl too.
  const QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::KeypadModifier, 83 + 8, 0, 0);
  EXPECT_EQ(KeyPressFromEvent(del, true).Key, VK_DELETE);
  const QKeyEvent ctrlDel(QEvent::KeyPress, Qt::Key_Delete, Qt::KeypadModifier | Qt::ControlModifier, 83 + 8, 0, 0);
  const TKeyPress press = KeyPressFromEvent(ctrlDel, true);
  EXPECT_EQ(ShortCut(press.Key, press.Shift), scCtrl | VK_DELETE);
}

TEST_F(KeyEventTest, EveryKeypadKeyInBothNumLockStatesOffscreen) {
  for (const TKeypadKey& k : kKeypad) {
    SCOPED_TRACE(k.evdev);
    // Without the physical key a keypad "," is the separator key.
    if (k.qtKeyNumLockOn == Qt::Key_Comma) continue;
    EXPECT_EQ(KeyOf(Qt::Key(k.qtKeyNumLockOn), Qt::KeypadModifier), k.vkNumLockOn);
    EXPECT_EQ(KeyOf(Qt::Key(k.qtKeyNumLockOff), Qt::KeypadModifier), k.vkNumLockOff);
  }
}

TEST_F(KeyEventTest, TheOffscreenPlatformsNativeCodesAreNotTrusted) {
  // Keycode 10 would be the digit-row "1"; without trust, "&" is US Shift+7.
  const QKeyEvent event(QEvent::KeyPress, Qt::Key_Ampersand, Qt::ShiftModifier, 10, 0, 0);
  EXPECT_EQ(KeyPressFromEvent(event).Key, '7');
  EXPECT_EQ(KeyPressFromEvent(event, true).Key, '1');
}

}  // namespace

namespace {

// The keys a key press can give are exactly the ones IsKeyboardKey names,
// so that a stored hotkey is refused only when no key could ever run it.
TEST(KeyEventNative, IsKeyboardKeyNamesExactlyTheCodesKeyPressesGive) {
  std::set<std::uint16_t> given;
  const auto press = [&given](int qtKey) {
    for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::KeypadModifier)}) {
      given.insert(VirtualKeyFromQtKey(qtKey, modifiers, 0));
      // Every physical key of a PC keyboard (evdev codes up to 128).
      for (std::uint32_t xkb = 9; xkb < 140; ++xkb) given.insert(VirtualKeyFromQtKey(qtKey, modifiers, xkb));
    }
  };
  for (int qtKey = 0; qtKey < 0x100; ++qtKey) press(qtKey);
  press(0x0444);  // a Cyrillic letter: known by its physical key
  // The named keys, and the later block of Sleep and the like.
  for (int qtKey = Qt::Key_Escape; qtKey < Qt::Key_Escape + 0x2000; ++qtKey) press(qtKey);
  for (int qtKey = 0x01020000; qtKey < 0x01020100; ++qtKey) press(qtKey);
  given.erase(0);
  for (int code = 0; code < 0x10000; ++code)
    EXPECT_EQ(IsKeyboardKey(static_cast<std::uint16_t>(code)), given.count(static_cast<std::uint16_t>(code)) == 1)
        << code;
}

}  // namespace
