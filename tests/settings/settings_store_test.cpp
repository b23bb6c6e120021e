// The settings record in the registry, and the start-up step.
#include "settings/settings_store.h"
#include "support/file_access_as_nobody.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <sys/stat.h>

namespace {

const QStringList kValueNames = [] {
  QStringList names = {"FullScreen", "ShrinkToFit", "ZoomToFit", "HideMouseCursor", "ChangeWindowSizeToFitImage"};
  for (int n = 0; n < HotkeyCount; ++n) names << QStringLiteral("HOTKEY%1").arg(n);
  names << QStringList{"FirstRun",           "SortType",    "SortReversed",
                       "ResizeFilter",       "dwVersion",   "AutoSaveAfterResize",
                       "AlwaysShowFilename", "ExifRotation"};
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
  for (const QString& name : kValueNames)
    EXPECT_EQ(reg.GetDataType(name), TRegDataType::rdInteger) << name.toStdString();
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
  s.SortType = 7;  // not validated either way
  s.ResizeFilter = -1;
  s.SortReversed = true;
  s.dwVersion = 0xFFFFFFFF;
  s.HotKeys[3] = {QString(), 0x00F5, VK_OEM_3};  // modifier bits beyond Shift, Alt and Ctrl survive
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
  const std::pair<std::uint32_t, bool> cases[] = {
      {0x01050100, true}, {0x010501FF, true}, {0x01050200, false}, {0x02000000, false}};
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
  EXPECT_EQ(s.HotKeys[5].Key, 107);      // keypad +
  EXPECT_EQ(s.HotKeys[5].modifiers, 4);  // Ctrl
  EXPECT_EQ(s.HotKeys[1].Key, 32);       // default Space
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

// A hand-written text where a number belongs is read like a line that cannot
// be read: its number is taken when it holds one, one warning names the file
// and the lines, and the file as it was is kept aside before the next save.
TEST_F(SettingsStoreTest, ATextWhereANumberBelongsGivesItsNumberAWarningAndACopy) {
  FTemp.Write(QStringLiteral("velvane/registry-hkcu.txt"),
              "Velvane registry hive 1\n"
              "[SOFTWARE\\Norquill\\Velvane]\n"
              "\"FullScreen\"=\"0\"\n"        // line 3
              "\"SortType\"=\" 2 \"\n"        // line 4
              "\"HOTKEY1\"=\"0x0004004F\"\n"  // line 5: Ctrl+O
              "\"dwVersion\"=\"17105408\"\n"  // line 6
              "\"ResizeFilter\"=\"fast\"\n"   // line 7: no number
              "\"SortReversed\"=dword:00000001\n"
              "\"ZoomToFit\"=\"99999999999\"\n");  // line 9: too large
  testing::internal::CaptureStderr();
  TSettings s;
  ASSERT_TRUE(LoadSettings(s));
  EXPECT_FALSE(s.FullScreen);
  EXPECT_EQ(s.SortType, 2);
  EXPECT_EQ(s.HotKeys[1].Key, 'O');
  EXPECT_EQ(s.HotKeys[1].modifiers, ssCtrl);
  EXPECT_EQ(s.dwVersion, SettingsVersion);
  EXPECT_EQ(s.ResizeFilter, 0);  // as if missing
  EXPECT_TRUE(s.SortReversed);
  EXPECT_TRUE(s.ZoomToFit);
  TSettings again;
  ASSERT_TRUE(LoadSettings(again));
  const std::string warnings = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
  EXPECT_NE(warnings.find(TRegistryFile::DefaultPath().toStdString() + ": lines 3, 4, 5, 6, 7 and 9 hold values"),
            std::string::npos)
      << warnings;
  EXPECT_NE(warnings.find("\"SortType\" is a text, not a number, so the number in it is used"), std::string::npos)
      << warnings;
  EXPECT_NE(warnings.find("\"ResizeFilter\" is a text, not a number, and is read as missing"), std::string::npos)
      << warnings;

  ASSERT_TRUE(SaveSettings(s));
  const QStringList aside = QDir(FTemp.File(QStringLiteral("velvane")))
                                .entryList({QStringLiteral("registry-hkcu.txt.damaged-*")}, QDir::Files);
  ASSERT_EQ(aside.size(), 1);
  QFile kept(FTemp.File(QStringLiteral("velvane/") + aside.first()));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_TRUE(kept.readAll().contains("\"ResizeFilter\"=\"fast\""));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(SettingsKey, false));
  EXPECT_EQ(reg.GetDataType(QStringLiteral("SortType")), TRegDataType::rdInteger);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("SortType")), 2);

  // The helpers read the same way.
  reg.WriteString(QStringLiteral("Text"), QStringLiteral("-7"));
  EXPECT_EQ(ReadIntegerDefault(reg, QStringLiteral("Text"), 3), -7);
  EXPECT_TRUE(ReadBoolDefault(reg, QStringLiteral("Text"), false));
  EXPECT_FALSE(ReadBoolDefault(reg, QStringLiteral("Missing"), false));
}

TEST_F(SettingsStoreTest, NumbersInTextFitIn32Bits) {
  EXPECT_EQ(NumberInText(QStringLiteral("17105408")), 17105408u);
  EXPECT_EQ(NumberInText(QStringLiteral("-1")), 0xFFFFFFFFu);
  EXPECT_EQ(NumberInText(QStringLiteral("4294967295")), 0xFFFFFFFFu);
  EXPECT_EQ(NumberInText(QStringLiteral("0X1a")), 26u);
  EXPECT_EQ(NumberInText(QStringLiteral("+5")), 5u);
  for (const char* bad : {"", " ", "4294967296", "-2147483649", "0x", "0x100000000", "0x+1", "1.5", "2 3", "one"})
    EXPECT_EQ(NumberInText(QString::fromLatin1(bad)), std::nullopt) << bad;
}

// A hotkey no key press can give would leave its command, Quit included,
// without a key: it is read as the command's factory hotkey, with the warning.
TEST_F(SettingsStoreTest, AHotkeyNoKeyPressCanGiveIsReadAsTheFactoryOne) {
  Store([](TRegistry& reg) {
    reg.WriteInteger(QStringLiteral("HOTKEY18"), 0x00001B1B);  // key code 0x1B1B: no key (Quit)
    reg.WriteInteger(QStringLiteral("HOTKEY0"), 0x00040010);   // Ctrl with the Shift key itself
    reg.WriteInteger(QStringLiteral("HOTKEY3"), 0x00040000);   // Ctrl and no key
    reg.WriteInteger(QStringLiteral("HOTKEY4"), 0x00000007);   // a code without a key
    reg.WriteInteger(QStringLiteral("HOTKEY1"), 0x00080020);   // Space with an unknown modifier bit: it runs
    reg.WriteInteger(QStringLiteral("HOTKEY2"), 0);            // no key, as the options dialog stores it
    reg.WriteInteger(QStringLiteral("HOTKEY5"), 0x000400E2);   // Ctrl and the ISO key beside Shift
  });
  testing::internal::CaptureStderr();
  TSettings s;
  ASSERT_TRUE(LoadSettings(s));
  const std::string warnings = testing::internal::GetCapturedStderr();
  const auto& factory = DefaultHotKeys();
  for (int row : {18, 0, 3, 4}) {
    EXPECT_EQ(s.HotKeys[row].Key, factory[row].Key) << row;
    EXPECT_EQ(s.HotKeys[row].modifiers, factory[row].modifiers) << row;
  }
  EXPECT_EQ(s.HotKeys[1].Key, VK_SPACE);
  EXPECT_EQ(s.HotKeys[1].modifiers, 0x0008);
  EXPECT_EQ(s.HotKeys[2].Key, 0);
  EXPECT_EQ(s.HotKeys[5].Key, VK_OEM_102);
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
  EXPECT_NE(warnings.find("\"HOTKEY18\" is a hotkey no key press can give, so the factory hotkey Esc is used"),
            std::string::npos)
      << warnings;
  for (const char* name : {"HOTKEY0\"", "HOTKEY3\"", "HOTKEY4\""})
    EXPECT_NE(warnings.find(name), std::string::npos) << name << warnings;
  for (const char* name : {"HOTKEY1\"", "HOTKEY2\"", "HOTKEY5\""})
    EXPECT_EQ(warnings.find(name), std::string::npos) << name << warnings;
}

// A settings file that may not be read is not a damaged one: it stays as it
// is, the run takes the factory values without the first-run step, nothing
// is written over it, and the user is told.
TEST_F(SettingsStoreTest, ASettingsFileThatMayNotBeReadIsLeftAloneAndTheRunUsesFactoryValues) {
  TSettings stored = Factory();
  stored.FirstRun = false;
  stored.SortType = SortBySize;
  ASSERT_TRUE(SaveSettings(stored));
  const QString hive = TRegistryFile::DefaultPath();
  QFile file(hive);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray before = file.readAll();
  file.close();
  ASSERT_EQ(chmod(FTemp.Path().toLocal8Bit().constData(), 0777), 0);
  ASSERT_EQ(chmod(FTemp.File(QStringLiteral("velvane")).toLocal8Bit().constData(), 0777), 0);
  ASSERT_EQ(chmod(hive.toLocal8Bit().constData(), 0), 0);

  TSettings s;
  QString notice;
  {
    FileAccessAsNobody nobody;
    QString why;
    EXPECT_EQ(LoadStoredSettings(s, &why), TSettingsLoad::Unreadable);
    EXPECT_EQ(why, QStringLiteral("Permission denied"));
    notice = PrepareSettingsAtStartup(s);
    EXPECT_FALSE(SaveSettings(s));  // as the sort commands and the options dialog would
  }
  TSettings expected = Factory();
  expected.FirstRun = false;
  ExpectSameFields(s, expected);
  EXPECT_TRUE(notice.contains(hive + QStringLiteral(" cannot be read (Permission denied)"))) << notice.toStdString();
  ASSERT_EQ(chmod(hive.toLocal8Bit().constData(), 0600), 0);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), before);
  EXPECT_EQ(QDir(FTemp.File(QStringLiteral("velvane"))).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("registry-hkcu.txt")});
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
