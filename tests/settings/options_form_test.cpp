// The options dialog's commit and its duplicate check, without widgets.
#include "settings/options_form.h"

#include "settings/settings_store.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// Records what OK does to the window, and what the settings and the store
// held at each step.
class TRecordingTarget final : public TOptionsTarget {
public:
  explicit TRecordingTarget(const TSettings& settings) : FSettings(settings) {}

  bool FullScreen() const override { return bFullScreen; }
  void ToggleFullscreen() override {
    bFullScreen = !bFullScreen;
    TSettings stored;
    calls << (LoadSettings(stored) && stored.ZoomToFit == FSettings.ZoomToFit ? "toggle after save" : "toggle");
  }
  void SetFitFlags(bool bZoomToFit, bool bShrinkToFit) override {
    calls << QStringLiteral("fit %1 %2").arg(bZoomToFit).arg(bShrinkToFit);
  }
  void BindHotkeys(const TSettings& settings) override {
    calls << QStringLiteral("bind row 1 key %1").arg(settings.HotKeys[1].Key);
  }
  void Reload() override { calls << QStringLiteral("reload exif %1").arg(FSettings.ExifRotation); }
  void Repaint() override { calls << "repaint"; }

  bool bFullScreen = false;
  QStringList calls;

private:
  const TSettings& FSettings;
};

class OptionsFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.IsValid());
    FSavedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FTemp.Path().toLocal8Bit());
    DefaultSettings(settings);
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", FSavedConfigHome); }

  TempFolder FTemp;
  QByteArray FSavedConfigHome;
  TSettings settings;
};

TEST_F(OptionsFormTest, OkRebindsThenSavesThenBringsTheWindowInLineAndRepaintsLast) {
  TOptionsForm form = OptionsFormFromSettings(settings);
  form.ZoomToFit = false;
  form.ExifRotation = false;
  form.HotkeyTexts[1] = QStringLiteral("F9");
  TRecordingTarget target(settings);  // windowed, the preference full screen

  const TOptionsOutcome outcome = CommitOptions(form, settings, target);
  EXPECT_TRUE(outcome.bSaved);
  EXPECT_TRUE(outcome.bExifRotationChanged);
  EXPECT_EQ(target.calls,
            QStringList({"bind row 1 key 120", "toggle after save", "fit 0 1", "reload exif 0", "repaint"}));

  target.calls.clear();
  form = OptionsFormFromSettings(settings);
  EXPECT_FALSE(CommitOptions(form, settings, target).bExifRotationChanged);
  EXPECT_EQ(target.calls, QStringList({"bind row 1 key 120", "fit 0 1", "repaint"}));
}

TEST_F(OptionsFormTest, OkTouchesNoFieldWithoutAControl) {
  settings.FirstRun = false;
  settings.SortType = 7;
  settings.SortReversed = true;
  settings.dwVersion = 0x01000000;
  TOptionsForm form = OptionsFormFromSettings(settings);
  form.HotkeyTexts[3] = QStringLiteral("no such key");
  TRecordingTarget target(settings);
  CommitOptions(form, settings, target);
  EXPECT_FALSE(settings.FirstRun);
  EXPECT_EQ(settings.SortType, 7);
  EXPECT_TRUE(settings.SortReversed);
  EXPECT_EQ(settings.dwVersion, 0x01000000u);
  // A text that names no key binds nothing.
  EXPECT_EQ(settings.HotKeys[3].Key, 0);
  EXPECT_EQ(settings.HotKeys[3].modifiers, 0);
}

TEST_F(OptionsFormTest, AStoreThatCannotBeWrittenIsReportedAndTheCommitStillApplies) {
  FTemp.Write("velvane", "a file where the folder belongs");
  TOptionsForm form = OptionsFormFromSettings(settings);
  form.ShrinkToFit = false;
  TRecordingTarget target(settings);
  const TOptionsOutcome outcome = CommitOptions(form, settings, target);
  EXPECT_FALSE(outcome.bSaved);
  EXPECT_FALSE(settings.ShrinkToFit);
  EXPECT_EQ(target.calls, QStringList({"bind row 1 key 32", "toggle", "fit 1 0", "repaint"}));
  // The store's other callers go on as before: nothing thrown, false returned.
  EXPECT_FALSE(SaveSettings(settings));
}

TEST(DuplicateHotkeys, RowsNamingTheSameKeyAndModifiersAreMarkedWhateverTheSpelling) {
  TSettings s;
  DefaultSettings(s);
  std::array<QString, HotkeyCount> texts = OptionsFormFromSettings(s).HotkeyTexts;
  for (bool marked : DuplicateHotkeyRows(texts)) EXPECT_FALSE(marked);

  texts[2] = QStringLiteral("^O");        // Ctrl+O, row 19's key
  texts[7] = QStringLiteral("shift+f");   // Shift+F, row 43's key
  texts[8] = QString();                   // no key clashes with nothing,
  texts[9] = QStringLiteral("nonsense");  // not even with another such row
  texts[10] = QStringLiteral("Num /");    // row 6's keypad "/"
  const auto marked = DuplicateHotkeyRows(texts);
  for (int row = 0; row < HotkeyCount; ++row)
    EXPECT_EQ(marked[row], row == 2 || row == 19 || row == 7 || row == 43 || row == 10 || row == 6) << row;
}

TEST(CapturedHotkeys, TheTextIsTheHotkeyOfTheShortcutAndNoneForNoShortcut) {
  EXPECT_EQ(CapturedHotkeyText(0), QString());
  EXPECT_EQ(CapturedHotkeyText(ShortCut(VK_DIVIDE, ssCtrl)), QStringLiteral("Ctrl+Num /"));
  EXPECT_EQ(CapturedHotkeyText(ShortCut(VK_F1 + 4, ssShift | ssAlt)), QStringLiteral("Shift+Alt+F5"));
}

}  // namespace
