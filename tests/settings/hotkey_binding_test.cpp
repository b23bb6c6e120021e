// Hotkey texts and the binding of hotkey rows to actions.
#include "settings/hotkey_binding.h"

#include "platform/keys.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(HotkeyText, EveryNamedHotkeyReadsBackFromItsText) {
  int named = 0;
  for (int key = 8; key < 256; ++key) {
    for (std::uint16_t m = 0; m < 8; ++m) {
      const QString text = HotkeyToText(m, key);
      if (text.isEmpty()) continue;
      ++named;
      const bool bKeypadDigit = key >= 96 && key <= 105;  // read back as the digit row's
      std::uint16_t modifiers = 0xFFFF, Key = 0xFFFF;
      TextToHotkey(text, modifiers, Key);
      EXPECT_EQ(Key, bKeypadDigit ? key - 48 : key) << text.toStdString();
      EXPECT_EQ(modifiers, m) << text.toStdString();
    }
  }
  EXPECT_GE(named, 8 * 130);  // every code the viewer names
}

TEST(HotkeyText, KeypadSlashShowsAsNumSlash) {
  EXPECT_EQ(HotkeyToText(0, 111), QStringLiteral("Num /"));
  EXPECT_EQ(HotkeyToText(4, 111), QStringLiteral("Ctrl+Num /"));
  EXPECT_EQ(HotkeyToText(7, 111), QStringLiteral("Shift+Ctrl+Alt+Num /"));
  EXPECT_EQ(HotkeyToText(0, 190), QStringLiteral("Period"));  // the main-row full stop
  EXPECT_EQ(HotkeyToText(0, 191), QStringLiteral("/"));

  // "Num /" names keypad "/" whatever the row held before.
  std::uint16_t modifiers = 1, Key = 'F';
  TextToHotkey(QStringLiteral("Num /"), modifiers, Key);
  EXPECT_EQ(Key, 111);
  EXPECT_EQ(modifiers, 0);
  TextToHotkey(QStringLiteral("Alt+Num /"), modifiers, Key);
  EXPECT_EQ(Key, 111);
  EXPECT_EQ(modifiers, 2);
}

TEST(HotkeyText, TheDefaultTable) {
  const char* texts[HotkeyCount] = {
      "Enter",     "Space",      "B",          "Home",       "End",         "Num *",       "Num /",       "Num +",
      "Num -",     "Left",       "Right",      "Up",         "Down",        "N",           "Del",         "F6",
      "F7",        "Ctrl+W",     "Esc",        "Ctrl+O",     "Ctrl+1",      "Ctrl+2",      "Ctrl+3",      "Ctrl+C",
      "Ctrl+R",    "M",          "Ctrl+S",     "G",          "J",           "K",           "L",           "P",
      "O",         "Ctrl+Num +", "Ctrl+Num -", "Ctrl+Num /", "Shift+Num +", "Shift+Num -", "Shift+Num /", "Alt+Num +",
      "Alt+Num -", "Alt+Num /",  "F",          "Shift+F",    "Shift+W",     "Shift+BkSp",  "BkSp",
  };
  for (int row = 0; row < HotkeyCount; ++row) {
    const thotkey& h = DefaultHotKeys()[row];
    EXPECT_EQ(HotkeyToText(h.modifiers, h.Key), QString::fromLatin1(texts[row])) << row;
  }
}

TEST(HotkeyText, KeypadDigitsAndTextsThatNameNoKey) {
  EXPECT_EQ(HotkeyToText(4, 97), QStringLiteral("Ctrl+1"));
  std::uint16_t modifiers = 0, Key = 0;
  TextToHotkey(QStringLiteral("Ctrl+1"), modifiers, Key);
  EXPECT_EQ(Key, '1');

  EXPECT_EQ(HotkeyToText(4, 0), QString());
  for (const char* text : {"", "Ctrl+", "nonsense", "Num / x"}) {
    modifiers = 5;
    Key = 66;
    TextToHotkey(QString::fromLatin1(text), modifiers, Key);
    EXPECT_EQ(Key, 0) << text;
    EXPECT_EQ(modifiers, 0) << text;
  }
}

class BindingTest : public ::testing::Test {
protected:
  void SetUp() override { DefaultSettings(FSettings); }

  TAction& Add(const char* name, const char* hint) {
    FOwned.push_back(std::make_unique<TAction>(QString::fromLatin1(name), QString(), QString::fromLatin1(hint)));
    FList.Add(FOwned.back().get());
    return *FOwned.back();
  }

  TSettings FSettings;
  std::vector<std::unique_ptr<TAction>> FOwned;
  TActionList FList;
};

TEST_F(BindingTest, BindActionSetsShortCutAndHint) {
  TAction& next = Add("AcNext", "Next");
  BindAction(next, 1, FSettings);
  EXPECT_EQ(next.ShortCut(), VK_SPACE);
  EXPECT_EQ(next.Hint(), QStringLiteral("Next  (Hotkey: Space)"));

  // Binding again replaces the suffix, trimming what stood before the bracket.
  FSettings.HotKeys[1] = {QString(), 5, 'N'};
  BindAction(next, 1, FSettings);
  EXPECT_EQ(next.ShortCut(), scShift | scCtrl | 'N');
  EXPECT_EQ(next.Hint(), QStringLiteral("Next  (Hotkey: Shift+Ctrl+N)"));
  next.SetHint(QStringLiteral("\t Next \x01(old) (older)"));
  BindAction(next, 1, FSettings);
  EXPECT_EQ(next.Hint(), QStringLiteral("Next  (Hotkey: Shift+Ctrl+N)"));
  // A hint without a bracket is kept as it is.
  next.SetHint(QStringLiteral(" spaced "));
  BindAction(next, 1, FSettings);
  EXPECT_EQ(next.Hint(), QStringLiteral(" spaced   (Hotkey: Shift+Ctrl+N)"));
}

TEST_F(BindingTest, KeyZeroAndAnEmptyBaseHint) {
  TAction& custom = Add("acResizeToCustom", "");
  BindAction(custom, 31, FSettings);
  EXPECT_EQ(custom.Hint(), QStringLiteral("  (Hotkey: P)"));

  FSettings.HotKeys[31] = {QString(), 4, 0};
  BindAction(custom, 31, FSettings);
  EXPECT_EQ(custom.ShortCut(), scCtrl);  // Ctrl with no key: no key press forms it
  EXPECT_EQ(custom.Hint(), QStringLiteral("  (Hotkey: )"));
  FSettings.HotKeys[31] = {QString(), 0, 0};
  BindAction(custom, 31, FSettings);
  EXPECT_EQ(custom.ShortCut(), 0);
}

TEST_F(BindingTest, KeypadSlashShowsAsSlashInTheHintOnlyAlone) {
  TAction& original = Add("AcOriginalSize", "Original size");
  TAction& gamma = Add("AcGammaOriginal", "Gamma original");
  BindAction(original, 6, FSettings);
  BindAction(gamma, 35, FSettings);
  EXPECT_EQ(original.Hint(), QStringLiteral("Original size  (Hotkey: /)"));
  EXPECT_EQ(gamma.Hint(), QStringLiteral("Gamma original  (Hotkey: Ctrl+.)"));
}

TEST_F(BindingTest, BindHotkeysBindsEveryRowPresentAndSkipsTheRest) {
  for (int row = 0; row < HotkeyCount; ++row)
    if (row != 13) Add(HotkeyBindings()[row].actionName, HotkeyBindings()[row].baseHint);
  TAction& exif = Add("acShowExifData", "Show EXIF");  // no row
  BindHotkeys(FList, FSettings);

  for (int row = 0; row < HotkeyCount; ++row) {
    if (row == 13) continue;
    const TAction* action = FList.FindByName(QLatin1String(HotkeyBindings()[row].actionName));
    const thotkey& h = DefaultHotKeys()[row];
    EXPECT_EQ(action->ShortCut(), ShortCut(h.Key, h.modifiers)) << row;
    EXPECT_TRUE(action->Hint().endsWith(QStringLiteral(")"))) << row;
  }
  EXPECT_EQ(exif.ShortCut(), 0);
  EXPECT_EQ(exif.Hint(), QStringLiteral("Show EXIF"));
  // Shift+Backspace and Backspace run different actions.
  EXPECT_EQ(FList.FindByShortCut(scShift | VK_BACK)->Name(), QStringLiteral("AcNext2"));
  EXPECT_EQ(FList.FindByShortCut(VK_BACK)->Name(), QStringLiteral("AcPrev2"));
  EXPECT_EQ(FList.FindByName(QStringLiteral("AcSaveAs"))->Hint(), QStringLiteral("Save as  (Hotkey: Ctrl+W)"));
}

}  // namespace
