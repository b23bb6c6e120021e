// The start-up steps before any window: settings, command line, first run.
#include "app/startup.h"

#include "platform/application_title.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "settings/settings_store.h"
#include "support/file_access_as_nobody.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace {

const QString kApp = QStringLiteral("/opt/velvane/");

// Each test gets an empty registry hive of its own.
class StartupTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(config.isValid());
    previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", previous); }

  QTemporaryDir config;
  QByteArray previous;
  TAppState state;
};

TEST_F(StartupTest, AFirstStartWritesTheFactoryValuesAndShowsTheSampleWindowed) {
  ASSERT_TRUE(PrepareAppState(state, kApp, {}));
  EXPECT_EQ(state.sCurrentFile, kApp + "samples/A_beautiful_Sky.jpg");
  EXPECT_FALSE(state.bFullScreen);  // no argument: windowed whatever the setting says
  EXPECT_TRUE(state.Settings.FullScreen);
  EXPECT_TRUE(state.View.bZoomToFit);
  EXPECT_TRUE(state.View.bShrinkToFit);
  EXPECT_TRUE(state.Settings.FirstRun);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
  EXPECT_EQ(reg.GetValueNames().size(), 60);
}

TEST_F(StartupTest, UninstallModeStillWritesTheDefaultsFirst) {
  EXPECT_FALSE(PrepareAppState(state, kApp, {"/UNINSTALL"}));
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists(SettingsKey));
}

TEST_F(StartupTest, StoredSettingsDecideTheModeAndTheFitFlags) {
  TSettings stored;
  DefaultSettings(stored);
  stored.FullScreen = false;
  stored.ZoomToFit = false;
  SaveSettings(stored);
  ASSERT_TRUE(PrepareAppState(state, kApp, {"/pics/a.png"}));
  EXPECT_FALSE(state.bFullScreen);
  EXPECT_FALSE(state.View.bZoomToFit);
  EXPECT_TRUE(state.View.bShrinkToFit);
  EXPECT_EQ(state.sCurrentFile, "/pics/a.png");
}

TEST_F(StartupTest, OlderSettingsGetSaveAsOnCtrlWInMemoryOnly) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(SettingsKey, true));
    reg.WriteInteger(HotkeyValueName(17), 0x00010041);  // Shift+A, stored by an older version
  }
  ASSERT_TRUE(PrepareAppState(state, kApp, {"x.png"}));
  EXPECT_EQ(state.Settings.HotKeys[17].Key, 87);
  EXPECT_EQ(state.Settings.HotKeys[17].modifiers, 4);
  EXPECT_EQ(state.Settings.dwVersion, SettingsVersion);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
  EXPECT_EQ(reg.ReadInteger(HotkeyValueName(17)), 0x00010041);
  EXPECT_FALSE(reg.ValueExists("dwVersion"));
}

TEST_F(StartupTest, TheFirstRunStepIsStoredAsDone) {
  ASSERT_TRUE(PrepareAppState(state, kApp, {}));
  FinishFirstRun(state);
  TAppState next;
  ASSERT_TRUE(PrepareAppState(next, kApp, {}));
  EXPECT_FALSE(next.Settings.FirstRun);
}

// Settings the user may not read: the run starts on the factory values
// without the first-run dialog, and the user is told once, over the window.
TEST_F(StartupTest, UnreadableSettingsAreSaidOnceOverTheWindowAndAreNoFirstRun) {
  TSettings stored;
  DefaultSettings(stored);
  stored.FirstRun = false;
  stored.FullScreen = false;
  ASSERT_TRUE(SaveSettings(stored));
  const QString hive = TRegistryFile::DefaultPath();
  ASSERT_EQ(chmod(config.path().toLocal8Bit().constData(), 0777), 0);
  ASSERT_EQ(chmod(QFileInfo(hive).path().toLocal8Bit().constData(), 0777), 0);
  ASSERT_EQ(chmod(hive.toLocal8Bit().constData(), 0), 0);
  {
    FileAccessAsNobody nobody;
    ASSERT_TRUE(PrepareAppState(state, kApp, {"photo.jpg"}));
  }
  EXPECT_FALSE(state.Settings.FirstRun);
  EXPECT_TRUE(state.Settings.FullScreen);  // the factory value, not the file's
  EXPECT_TRUE(state.bFullScreen);
  EXPECT_TRUE(state.sStartupNotice.startsWith("The settings file " + hive + " cannot be read (Permission denied)."))
      << state.sStartupNotice.toStdString();

  QStringList shown;
  MessageBoxHooks().error = [&](const QString& text, const QString& caption) { shown << caption + "|" + text; };
  QWidget window;
  ShowStartupNotice(window, state);
  TAppState readable;
  ShowStartupNotice(window, readable);
  MessageBoxHooks() = TMessageBoxHooks{};
  EXPECT_EQ(shown, QStringList{QLatin1String(ApplicationTitle) + "|" + state.sStartupNotice});
}

}  // namespace
