// Real key presses on the main window reach the actions the hotkey table
// binds them to, in the window's action order.
#include "tfmain_fixture.h"

#include "settings/hotkey_table.h"

#include <QTest>

#include <map>

namespace {

struct TQtKey {
  Qt::Key key;
  bool keypad;
};

// How a keyboard delivers each key code of the default table to Qt.
TQtKey QtKeyFor(std::uint16_t vk) {
  static const std::map<std::uint16_t, TQtKey> keys = {
      {8, {Qt::Key_Backspace, false}}, {13, {Qt::Key_Return, false}}, {27, {Qt::Key_Escape, false}},
      {32, {Qt::Key_Space, false}},    {35, {Qt::Key_End, false}},    {36, {Qt::Key_Home, false}},
      {37, {Qt::Key_Left, false}},     {38, {Qt::Key_Up, false}},     {39, {Qt::Key_Right, false}},
      {40, {Qt::Key_Down, false}},     {46, {Qt::Key_Delete, false}}, {106, {Qt::Key_Asterisk, true}},
      {107, {Qt::Key_Plus, true}},     {109, {Qt::Key_Minus, true}},  {111, {Qt::Key_Slash, true}},
      {117, {Qt::Key_F6, false}},      {118, {Qt::Key_F7, false}},
  };
  if (auto it = keys.find(vk); it != keys.end()) return it->second;
  return {static_cast<Qt::Key>(vk), false};  // digits and letters share their codes
}

Qt::KeyboardModifiers QtModifiers(std::uint16_t mods, bool keypad) {
  Qt::KeyboardModifiers m = keypad ? Qt::KeypadModifier : Qt::NoModifier;
  if (mods & ssShift) m |= Qt::ShiftModifier;
  if (mods & ssCtrl) m |= Qt::ControlModifier;
  if (mods & ssAlt) m |= Qt::AltModifier;
  return m;
}

class KeyDispatchTest : public TfmainFixture {
protected:
  void SetUp() override {
    Open(Image("a.png"));
    // Every action only records that it ran.
    for (TAction* action : window->Actions().Items()) {
      action->SetEnabled(true);
      action->SetOnExecute([this, action] { ran << action->Name(); });
    }
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers mods) {
    ran.clear();
    QTest::keyClick(window.get(), key, mods);
  }
  QStringList ran;
};

TEST_F(KeyDispatchTest, EveryDefaultHotkeyReachesItsAction) {
  for (int row = 0; row < HotkeyCount; ++row) {
    const thotkey& hk = DefaultHotKeys()[row];
    const TQtKey k = QtKeyFor(hk.Key);
    Press(k.key, QtModifiers(hk.modifiers, k.keypad));
    EXPECT_EQ(ran, QStringList{QLatin1String(HotkeyBindings()[row].actionName)}) << "row " << row;
  }
}

TEST_F(KeyDispatchTest, ShiftBackspaceAndBackspaceAreDifferentCommands) {
  Press(Qt::Key_Backspace, Qt::ShiftModifier);
  EXPECT_EQ(ran, QStringList{"AcNext2"});
  Press(Qt::Key_Backspace, Qt::NoModifier);
  EXPECT_EQ(ran, QStringList{"AcPrev2"});
}

TEST_F(KeyDispatchTest, KeypadPlusIsNotTheMainRowPlus) {
  Press(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(ran, QStringList{"AcZoomIn"});
  Press(Qt::Key_Plus, Qt::NoModifier);
  EXPECT_TRUE(ran.isEmpty());
  Press(Qt::Key_Minus, Qt::NoModifier);
  EXPECT_TRUE(ran.isEmpty());
}

TEST_F(KeyDispatchTest, ShiftedDigitsAreTheDigitKeyWithShift) {
  window->Action("AcFileInfo")->SetShortCut(ShortCut('1', ssShift));
  Press(Qt::Key_Exclam, Qt::ShiftModifier);  // what a US layout prints for Shift+1
  EXPECT_EQ(ran, QStringList{"AcFileInfo"});
}

TEST_F(KeyDispatchTest, ADuplicatedShortcutRunsTheActionThatComesFirst) {
  window->Action("AcToggleFullscreen")->SetShortCut(ShortCut(VK_SPACE, 0));
  Press(Qt::Key_Space, Qt::NoModifier);
  EXPECT_EQ(ran, QStringList{"AcNext"});  // AcNext precedes AcToggleFullscreen
  window->Action("AcNext")->SetShortCut(0);
  Press(Qt::Key_Space, Qt::NoModifier);
  EXPECT_EQ(ran, QStringList{"AcToggleFullscreen"});
}

TEST_F(KeyDispatchTest, UnboundKeysAndLoneModifiersRunNothing) {
  Press(Qt::Key_Q, Qt::NoModifier);
  Press(Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_TRUE(ran.isEmpty());
}

TEST_F(KeyDispatchTest, TabIsAHotkeyNotAFocusMove) {
  window->Action("AcFileInfo")->SetShortCut(ShortCut(VK_TAB, 0));
  Press(Qt::Key_Tab, Qt::NoModifier);
  EXPECT_EQ(ran, QStringList{"AcFileInfo"});
}

TEST(KeyDispatchErrors, AnErrorEscapingAnActionIsShownWithTheTitleAndAFullStop) {
  TempFolder dir;
  TAppState state;
  DefaultSettings(state.Settings);
  state.sCurrentFile = dir.File("none.png");
  Tfmain window(state, nullptr, 120);
  QString shown;
  MessageBoxHooks().error = [&](const QString& text, const QString& caption) { shown = caption + "|" + text; };
  window.Action("AcFileInfo")->SetOnExecute([] { throw std::runtime_error("Unsupported graphic format"); });
  QTest::keyClick(&window, Qt::Key_N);
  MessageBoxHooks() = TMessageBoxHooks{};
  EXPECT_EQ(shown, "Velvane Photo Viewer|Unsupported graphic format.");
}

}  // namespace
