// The settings record in the registry, and the start-up step.
#include "settings/settings_store.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

const QStringList kValueNames = [] {
  QStringList names = {"FullScreen", "ShrinkToFit", "ZoomToFit", "HideMouseCursor", "ChangeWindowSizeToFitImage"};
  for (int n = 0; n < HotkeyCount; ++n) names << QStringLiteral("HOTKEY%1").arg(n);
  names << QStringList{"FirstRun", "SortType", "SortReversed", "ResizeFilter", "dwVersion",
                       "AutoSaveAfterResize", "AlwaysShowFilename", "ExifRotation"};
  return names;
}();

// Every test gets its own config folder, so its own hive.
class SettingsStoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FTemp.IsValid());
    FSavedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FTemp.Path().toLocal8Bit());
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", FSavedConfigHome); }

  // Runs fill on the settings key (created), saving when done.
  template <class F>
  void Store(F fill) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(SettingsKey, true));
    fill(reg);
  }

  static TSettings Factory() {
    TSettings s;
    DefaultSettings(s);
    return s;
  }

  TempFolder FTemp;
  QByteArray FSavedConfigHome;
};

void ExpectSameFields(const TSettings& a, const TSettings& b) {
  EXPECT_EQ(a.FullScreen, b.FullScreen);
  EXPECT_EQ(a.ShrinkToFit, b.ShrinkToFit);
  EXPECT_EQ(a.ZoomToFit, b.ZoomToFit);
  EXPECT_EQ(a.HideMouseCursor, b.HideMouseCursor);
  EXPECT_EQ(a.ChangeWindowSizeToFitImage, b.ChangeWindowSizeToFitImage);
  for (int n = 0; n < HotkeyCount; ++n) {
    EXPECT_EQ(a.HotKeys[n].Key, b.HotKeys[n].Key) << n;
    EXPECT_EQ(a.HotKeys[n].modifiers, b.HotKeys[n].modifiers) << n;
  }
  EXPECT_EQ(a.FirstRun, b.FirstRun);
  EXPECT_EQ(a.SortType, b.SortType);
  EXPECT_EQ(a.SortReversed, b.SortReversed);
  EXPECT_EQ(a.ResizeFilter, b.ResizeFilter);
  EXPECT_EQ(a.dwVersion, b.dwVersion);
  EXPECT_EQ(a.AutoSaveAfterResize, b.AutoSaveAfterResize);
  EXPECT_EQ(a.AlwaysShowFilename, b.AlwaysShowFilename);
  EXPECT_EQ(a.ExifRotation, b.ExifRotation);
}

TEST_F(SettingsStoreTest, FirstStartWritesExactlyTheSixtyFactoryValues) {
  TSettings s;
  EXPECT_FALSE(LoadSettings(s));
  EXPECT_FALSE(s.FullScreen);  // untouched by a failed load

  PrepareSettingsAtStartup(s);
  ExpectSameFields(s, Factory());
  EXPECT_EQ(s.HotKeys[1].name, QStringLiteral("Next photo"));

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Norquill\\Velvane"), false));
  EXPECT_EQ(reg.GetValueNames(), kValueNames);  // exact names, in the stored order
  for (const QString& name : kValueNames) EXPECT_EQ(reg.GetDataType(name), TRegDataType::rdInteger) << name.toStdString();
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("HOTKEY17")), 0x00040057);  // Ctrl+W
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("HOTKEY0")), 13);           // Enter
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("dwVersion")), 0x01050200);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("SortType")), 1);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("FullScreen")), 1);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("SortReversed")), 0);
}

TEST_F(SettingsStoreTest, SavedSettingsLoadBackUnchanged) {
  TSettings s = Factory();
  s.FullScreen = false;
  s.SortType = 7;        // not validated either way
  s.ResizeFilter = -1;
  s.SortReversed = true;
  s.dwVersion = 0xFFFFFFFF;
  s.HotKeys[3] = {QString(), 0x00F5, 200};  // modifier bits beyond Shift, Alt and Ctrl survive
  s.HotKeys[46] = {QString(), 0, 0};
  SaveSettings(s);

  TSettings loaded;
  ASSERT_TRUE(LoadSettings(loaded));
  ExpectSameFields(loaded, s);
  EXPECT_EQ(loaded.HotKeys[1].name, QString());  // names are not stored
  // dwVersion compares unsigned: 0xFFFFFFFF is new, so the stored "Save as" stays.
  loaded.HotKeys[17] = {QString(), 1, 'Q'};
  EXPECT_FALSE(UpgradeSettings(loaded));
  EXPECT_EQ(loaded.HotKeys[17].Key, 'Q');
}

TEST_F(SettingsStoreTest, AnEmptyKeyLoadsFactoryValuesWithVersionZeroAndIsUpgradedInMemory) {
  Store([](TRegistry&) {});
  TSettings s;
  ASSERT_TRUE(LoadSettings(s));
  TSettings expected = Factory();
  expected.dwVersion = 0;
  ExpectSameFields(s, expected);

  Store([](TRegistry& reg) { reg.WriteInteger(QStringLiteral("HOTKEY17"), 0x00010041); });  // Shift+A
  PrepareSettingsAtStartup(s);
  EXPECT_EQ(s.HotKeys[17].modifiers, 4);
  EXPECT_EQ(s.HotKeys[17].Key, 0x57);
  EXPECT_EQ(s.dwVersion, 0x01050200u);
  EXPECT_EQ(s.HotKeys[17].name, QString());

  // Nothing was written back.
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
  EXPECT_EQ(reg.GetValueNames(), QStringList{QStringLiteral("HOTKEY17")});
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("HOTKEY17")), 0x00010041);
}

TEST_F(SettingsStoreTest, TheUpgradeDependsOnTheStoredVersion) {
  const std::pair<std::uint32_t, bool> cases[] = {{0x01050100, true}, {0x010501FF, true}, {0x01050200, false}, {0x02000000, false}};
  for (const auto& [version, bUpgraded] : cases) {
    Store([version = version](TRegistry& reg) {
      reg.WriteInteger(QStringLiteral("dwVersion"), static_cast<std::int32_t>(version));
      reg.WriteInteger(QStringLiteral("HOTKEY17"), 0x00010041);
    });
    TSettings s;
    PrepareSettingsAtStartup(s);
    EXPECT_EQ(s.HotKeys[17].Key, bUpgraded ? 'W' : 'A') << std::hex << version;
    EXPECT_EQ(s.dwVersion, bUpgraded ? 0x01050200u : version);
  }
}

TEST_F(SettingsStoreTest, HotkeysUnpackAndAbsentRowsTakeTheirDefaults) {
  Store([](TRegistry& reg) {
    reg.WriteInteger(QStringLiteral("HOTKEY0"), 13);
    reg.WriteInteger(QStringLiteral("HOTKEY5"), (4 << 16) | 107);
  });
  TSettings s;
  ASSERT_TRUE(LoadSettings(s));
  EXPECT_EQ(s.HotKeys[0].Key, 13);
  EXPECT_EQ(s.HotKeys[0].modifiers, 0);
  EXPECT_EQ(s.HotKeys[5].Key, 107);  // keypad +
  EXPECT_EQ(s.HotKeys[5].modifiers, 4);  // Ctrl
  EXPECT_EQ(s.HotKeys[1].Key, 32);   // default Space
  EXPECT_EQ(s.HotKeys[45].Key, 8);
  EXPECT_EQ(s.HotKeys[45].modifiers, 1);
}

TEST_F(SettingsStoreTest, BooleansReadAnyNonZeroAsTrueAndWriteOne) {
  Store([](TRegistry& reg) {
    reg.WriteInteger(QStringLiteral("SortReversed"), 2);
    reg.WriteInteger(QStringLiteral("AlwaysShowFilename"), -1);
    reg.WriteInteger(QStringLiteral("FullScreen"), 0);
  });
  TSettings s;
  ASSERT_TRUE(LoadSettings(s));
  EXPECT_TRUE(s.SortReversed);
  EXPECT_TRUE(s.AlwaysShowFilename);
  EXPECT_FALSE(s.FullScreen);
  SaveSettings(s);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("SortReversed")), 1);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("AlwaysShowFilename")), 1);
}

TEST_F(SettingsStoreTest, OtherValuesInTheKeyAreLeftInPlace) {
  Store([](TRegistry& reg) {
    reg.WriteInteger(QStringLiteral("HOTKEY47"), 0x00040041);
    reg.WriteString(QStringLiteral("Comment"), QStringLiteral("someone else's"));
    reg.OpenKey(QStringLiteral("Sub"), true);
  });
  TSettings s;
  ASSERT_TRUE(LoadSettings(s));
  SaveSettings(s);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
  EXPECT_EQ(reg.GetValueNames().size(), 62);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("HOTKEY47")), 0x00040041);
  EXPECT_EQ(reg.ReadString(QStringLiteral("Comment")), QStringLiteral("someone else's"));
  EXPECT_TRUE(reg.KeyExists(QStringLiteral("Sub")));
}

TEST_F(SettingsStoreTest, AValueOfTheWrongTypeFallsBack) {
  Store([](TRegistry& reg) {
    reg.WriteString(QStringLiteral("FullScreen"), QStringLiteral("0"));
    reg.WriteString(QStringLiteral("SortType"), QStringLiteral("2"));
    reg.WriteString(QStringLiteral("HOTKEY1"), QStringLiteral("13"));
    reg.WriteString(QStringLiteral("dwVersion"), QStringLiteral("17105408"));
    reg.WriteInteger(QStringLiteral("ResizeFilter"), 3);
  });
  TSettings s;
  ASSERT_TRUE(LoadSettings(s));
  EXPECT_TRUE(s.FullScreen);
  EXPECT_EQ(s.SortType, 1);
  EXPECT_EQ(s.HotKeys[1].Key, 32);
  EXPECT_EQ(s.dwVersion, 0u);
  EXPECT_EQ(s.ResizeFilter, 3);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
  EXPECT_TRUE(ReadBoolDefault(reg, QStringLiteral("FullScreen"), true));
  EXPECT_FALSE(ReadBoolDefault(reg, QStringLiteral("Missing"), false));
  EXPECT_EQ(ReadIntegerDefault(reg, QStringLiteral("SortType"), -5), -5);
  EXPECT_EQ(ReadIntegerDefault(reg, QStringLiteral("ResizeFilter"), -5), 3);
}

TEST_F(SettingsStoreTest, ASaveThatCannotBeWrittenChangesNothingAndDoesNotFail) {
  // The config folder is a file: no hive can be created below it.
  const QString blocked = FTemp.Write(QStringLiteral("not-a-folder"), "x");
  qputenv("XDG_CONFIG_HOME", blocked.toLocal8Bit());
  TSettings s = Factory();
  SaveSettings(s);
  TSettings untouched;
  EXPECT_FALSE(LoadSettings(untouched));
  PrepareSettingsAtStartup(untouched);  // factory values even so
  ExpectSameFields(untouched, Factory());
  EXPECT_TRUE(QFileInfo(blocked).isFile());
}

}  // namespace
