// The registry object and its hive file, within one process.
#include "platform/registry.h"
#include "platform/registry_hive_text.h"
#include "support/file_access_as_nobody.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTemp.IsValid()); }

  QString Hive() const { return FTemp.File(QStringLiteral("velvane/registry-hkcu.txt")); }
  QByteArray HiveBytes() const {
    QFile f(Hive());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QStringList SetAsideFiles() const {
    return QDir(FTemp.File(QStringLiteral("velvane")))
        .entryList({QStringLiteral("registry-hkcu.txt.damaged-*")}, QDir::AllEntries | QDir::System | QDir::Hidden);
  }
  void WriteHive(const QByteArray& bytes) const { FTemp.Write(QStringLiteral("velvane/registry-hkcu.txt"), bytes); }

  TempFolder FTemp;
};

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirCase) {
  {
    TRegistry reg(Hive());
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("SOFTWARE\\Norquill\\Velvane"), true));
    EXPECT_TRUE(reg.WriteInteger(QStringLiteral("FullScreen"), 1));
  }
  TRegistry reg(Hive());
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("software\\NORQUILL\\velvane"), false));
  EXPECT_TRUE(reg.ValueExists(QStringLiteral("FULLSCREEN")));
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("fullscreen")), 1);

  // Writing under another spelling replaces the value and keeps its first spelling.
  EXPECT_TRUE(reg.WriteInteger(QStringLiteral("fullSCREEN"), 0));
  EXPECT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE"), false));
  EXPECT_EQ(reg.GetKeyNames(), QStringList{QStringLiteral("Norquill")});
  ASSERT_TRUE(reg.Flush());

  TRegistry again(Hive());
  ASSERT_TRUE(again.OpenKey(QStringLiteral("Software\\Norquill\\Velvane"), false));
  EXPECT_EQ(again.GetValueNames(), QStringList{QStringLiteral("FullScreen")});
  EXPECT_EQ(again.ReadInteger(QStringLiteral("FullScreen")), 0);
  EXPECT_TRUE(again.OpenKey(QStringLiteral("\\"), false));
  EXPECT_EQ(again.GetKeyNames(), QStringList{QStringLiteral("SOFTWARE")});
}

TEST_F(RegistryTest, EmptyKeysExistAndPersist) {
  {
    TRegistry reg(Hive());
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("A")));
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("A\\B\\C"), false));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("A\\B\\C"), true));
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\A\\B")));
  }
  TRegistry reg(Hive());
  EXPECT_TRUE(reg.KeyExists(QStringLiteral("A\\B\\C")));
  EXPECT_TRUE(reg.OpenKey(QStringLiteral("A\\B\\C"), false));
  EXPECT_TRUE(reg.GetValueNames().isEmpty());
  EXPECT_FALSE(reg.HasSubKeys());
}

TEST_F(RegistryTest, IntegersAndTextsRoundTripExactly) {
  const QString loneSurrogate = QString(QChar(0xD800)) + QStringLiteral("x") + QChar(0xDC00);
  const QStringList texts = {
      QString(),
      QStringLiteral("plain"),
      QStringLiteral("\"quoted\" and \\back\\slashes\\"),
      QStringLiteral("line 1\nline 2\r\n\tend"),
      QString::fromUtf8("Привет, 世界, 😀 Ærø"),
      QString(QChar(0x01)) + QChar(0x7F) + QChar(0x1F),
      loneSurrogate,
      QStringLiteral("\\u0041 literally, and a trailing backslash\\"),
      QStringLiteral("[not a key]\n\"name\"=dword:1\n@=\"x\""),
  };
  const std::int32_t numbers[] = {0, 1, -1, INT_MAX, INT_MIN, 0x01050200};
  // Value names are free text too; the empty name is the default value.
  const QStringList names = {QString(),           QStringLiteral("\\"),   QStringLiteral("a\"b"),
                             QStringLiteral("]"), QStringLiteral("x\ny"), QString::fromUtf8("ключ"),
                             QStringLiteral("@"), QStringLiteral("    "), QStringLiteral("9")};
  const QString key = QString::fromUtf8("\\Keys with [brackets] and ünïcode\\ ] spaced ");
  {
    TRegistry reg(Hive());
    ASSERT_TRUE(reg.OpenKey(key, true));
    for (int i = 0; i < texts.size(); ++i) EXPECT_TRUE(reg.WriteString(QStringLiteral("t%1").arg(i), texts[i]));
    for (int i = 0; i < int(std::size(numbers)); ++i)
      EXPECT_TRUE(reg.WriteInteger(QStringLiteral("n%1").arg(i), numbers[i]));
    for (int i = 0; i < names.size(); ++i) EXPECT_TRUE(reg.WriteInteger(names[i], i));
  }
  TRegistry reg(Hive());
  ASSERT_TRUE(reg.OpenKey(key, false));
  EXPECT_EQ(reg.CurrentPath(), key.mid(1));
  for (int i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(reg.GetDataType(QStringLiteral("t%1").arg(i)), TRegDataType::rdString);
    EXPECT_EQ(reg.ReadString(QStringLiteral("t%1").arg(i)), texts[i]) << i;
  }
  for (int i = 0; i < int(std::size(numbers)); ++i)
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("n%1").arg(i)), numbers[i]);
  for (int i = 0; i < names.size(); ++i) EXPECT_EQ(reg.ReadInteger(names[i]), i) << i;
  EXPECT_EQ(reg.GetValueNames().size(), texts.size() + int(std::size(numbers)) + names.size());
}

TEST_F(RegistryTest, AValueOfAnotherTypeReadsAsAbsent) {
  TRegistry reg(Hive());
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("K"), true));
  reg.WriteString(QStringLiteral("Text"), QStringLiteral("1"));
  reg.WriteInteger(QStringLiteral("Number"), 7);
  EXPECT_TRUE(reg.ValueExists(QStringLiteral("Text")));
  EXPECT_EQ(reg.GetDataType(QStringLiteral("Text")), TRegDataType::rdString);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("Text")), 0);
  EXPECT_FALSE(reg.ReadBool(QStringLiteral("Text")));
  EXPECT_EQ(reg.GetDataType(QStringLiteral("Number")), TRegDataType::rdInteger);
  EXPECT_EQ(reg.ReadString(QStringLiteral("Number")), QString());
  EXPECT_EQ(reg.GetDataType(QStringLiteral("Missing")), TRegDataType::rdUnknown);
  EXPECT_EQ(reg.ReadString(QStringLiteral("Missing")), QString());
  // A write of the other type replaces the value.
  reg.WriteInteger(QStringLiteral("Text"), 3);
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("Text")), 3);
}

TEST_F(RegistryTest, PathsFromTheRootAndRelativeToTheOpenKey) {
  TRegistry reg(Hive());
  EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("SOFTWARE"), true));
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("Classes\\"), true));
  EXPECT_EQ(reg.CurrentPath(), QStringLiteral("SOFTWARE\\Classes"));
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Other"), true));
  EXPECT_EQ(reg.CurrentPath(), QStringLiteral("SOFTWARE\\Other"));
  EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\SOFTWARE\\Classes")));
  EXPECT_FALSE(reg.KeyExists(QStringLiteral("Classes")));  // not below SOFTWARE\Other
  EXPECT_TRUE(reg.OpenKey(QString(), false));              // the open key itself
  EXPECT_EQ(reg.CurrentPath(), QStringLiteral("SOFTWARE\\Other"));
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists(QStringLiteral("SOFTWARE\\Classes")));  // relative to the root again
  EXPECT_FALSE(reg.WriteString(QStringLiteral("v"), QStringLiteral("no key is open")));

  // Malformed paths and names fail and create nothing.
  EXPECT_FALSE(reg.OpenKey(QStringLiteral("New\\\\Key"), true));
  EXPECT_FALSE(reg.OpenKey(QStringLiteral("New\\Bad\x01Name"), true));
  EXPECT_FALSE(reg.OpenKey(QStringLiteral("New\\") + QString(256, u'x'), true));
  EXPECT_FALSE(reg.KeyExists(QStringLiteral("New")));

  // Other roots are not kept.
  reg.SetRootKey(0x80000002);
  EXPECT_FALSE(reg.OpenKey(QStringLiteral("SOFTWARE"), true));
  EXPECT_FALSE(reg.KeyExists(QStringLiteral("SOFTWARE")));
}

TEST_F(RegistryTest, DeleteKeyRemovesEverythingBelowIt) {
  {
    TRegistry reg(Hive());
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("A\\B\\C\\D"), true));
    reg.WriteString(QString(), QStringLiteral("deep"));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\A\\B"), true));
    reg.WriteInteger(QStringLiteral("x"), 1);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\A\\Sibling"), true));
  }
  TRegistry reg(Hive());
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("A\\B"), false));
  EXPECT_FALSE(reg.DeleteKey(QStringLiteral("\\")));  // never the root
  EXPECT_FALSE(reg.DeleteKey(QStringLiteral("\\A\\Missing")));
  EXPECT_TRUE(reg.DeleteKey(QStringLiteral("\\a\\b")));
  // The open key is gone: writing to it fails.
  EXPECT_FALSE(reg.WriteInteger(QStringLiteral("y"), 2));
  EXPECT_FALSE(reg.ValueExists(QStringLiteral("x")));
  EXPECT_FALSE(reg.KeyExists(QStringLiteral("\\A\\B\\C\\D")));
  ASSERT_TRUE(reg.Flush());

  TRegistry after(Hive());
  EXPECT_FALSE(after.KeyExists(QStringLiteral("A\\B")));
  EXPECT_TRUE(after.KeyExists(QStringLiteral("A\\Sibling")));
  ASSERT_TRUE(after.OpenKey(QStringLiteral("A"), false));
  EXPECT_EQ(after.GetKeyNames(), QStringList{QStringLiteral("Sibling")});
}

TEST_F(RegistryTest, TheDefaultValueAndDeleteValue) {
  {
    TRegistry reg(Hive());
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Classes\\.JPG"), true));
    reg.WriteString(QString(), QStringLiteral("VelvanePhotoViewerJPEG"));
    reg.WriteString(QStringLiteral("vvbackup"), QString());
  }
  EXPECT_TRUE(HiveBytes().contains("\n@=\"VelvanePhotoViewerJPEG\"\n"));
  TRegistry reg(Hive());
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Classes\\.jpg"), false));
  EXPECT_EQ(reg.ReadString(QString()), QStringLiteral("VelvanePhotoViewerJPEG"));
  EXPECT_TRUE(reg.ValueExists(QStringLiteral("vvbackup")));
  EXPECT_EQ(reg.ReadString(QStringLiteral("vvbackup")), QString());
  EXPECT_TRUE(reg.DeleteValue(QStringLiteral("VVBACKUP")));
  EXPECT_FALSE(reg.DeleteValue(QStringLiteral("vvbackup")));
  EXPECT_TRUE(reg.DeleteValue(QString()));
  ASSERT_TRUE(reg.Flush());
  TRegistry after(Hive());
  ASSERT_TRUE(after.OpenKey(QStringLiteral("\\SOFTWARE\\Classes\\.jpg"), false));
  EXPECT_TRUE(after.GetValueNames().isEmpty());
}

TEST_F(RegistryTest, EachObjectSeesTheDiskAsItWasAndWritesOnceWhenFreed) {
  auto reg = std::make_unique<TRegistry>(Hive());
  ASSERT_TRUE(reg->OpenKey(QStringLiteral("K"), true));
  for (int i = 0; i < 60; ++i) reg->WriteInteger(QStringLiteral("v%1").arg(i), i);
  EXPECT_FALSE(QFileInfo::exists(Hive()));  // nothing written yet
  TRegistry before(Hive());
  reg.reset();
  ASSERT_TRUE(QFileInfo::exists(Hive()));

  EXPECT_FALSE(before.KeyExists(QStringLiteral("K")));  // created before the write
  TRegistry after(Hive());
  ASSERT_TRUE(after.OpenKey(QStringLiteral("K"), false));
  EXPECT_EQ(after.GetValueNames().size(), 60);
}

TEST_F(RegistryTest, OnlyAnObjectsOwnChangesAreApplied) {
  {
    TRegistry seed(Hive());
    seed.OpenKey(QStringLiteral("Shared"), true);
    seed.WriteInteger(QStringLiteral("keep"), 1);
    seed.WriteInteger(QStringLiteral("drop"), 2);
    seed.WriteInteger(QStringLiteral("both"), 0);
    seed.OpenKey(QStringLiteral("\\Doomed\\Child"), true);
  }
  TRegistry first(Hive());
  TRegistry second(Hive());
  first.OpenKey(QStringLiteral("\\First"), true);
  first.WriteString(QStringLiteral("who"), QStringLiteral("first"));
  first.OpenKey(QStringLiteral("\\Shared"), false);
  first.WriteInteger(QStringLiteral("both"), 1);
  ASSERT_TRUE(first.Flush());

  // second still sees the hive as it was, and its flush keeps first's keys.
  EXPECT_FALSE(second.KeyExists(QStringLiteral("\\First")));
  second.OpenKey(QStringLiteral("\\Second"), true);
  second.WriteString(QStringLiteral("who"), QStringLiteral("second"));
  second.OpenKey(QStringLiteral("\\Shared"), false);
  second.DeleteValue(QStringLiteral("drop"));
  second.WriteInteger(QStringLiteral("both"), 2);
  second.DeleteKey(QStringLiteral("\\Doomed"));
  ASSERT_TRUE(second.Flush());

  TRegistry after(Hive());
  ASSERT_TRUE(after.OpenKey(QStringLiteral("\\First"), false));
  EXPECT_EQ(after.ReadString(QStringLiteral("who")), QStringLiteral("first"));
  ASSERT_TRUE(after.OpenKey(QStringLiteral("\\Second"), false));
  EXPECT_EQ(after.ReadString(QStringLiteral("who")), QStringLiteral("second"));
  ASSERT_TRUE(after.OpenKey(QStringLiteral("\\Shared"), false));
  EXPECT_EQ(after.ReadInteger(QStringLiteral("keep")), 1);
  EXPECT_FALSE(after.ValueExists(QStringLiteral("drop")));
  EXPECT_EQ(after.ReadInteger(QStringLiteral("both")), 2);  // the later write wins
  EXPECT_FALSE(after.KeyExists(QStringLiteral("\\Doomed")));
}

TEST_F(RegistryTest, AKeyRemovedByAnotherWriterComesBackWithTheValuesWrittenToIt) {
  {
    TRegistry seed(Hive());
    seed.OpenKey(QStringLiteral("K"), true);
  }
  TRegistry writer(Hive());
  ASSERT_TRUE(writer.OpenKey(QStringLiteral("K"), false));
  {
    TRegistry remover(Hive());
    remover.DeleteKey(QStringLiteral("K"));
  }
  writer.WriteInteger(QStringLiteral("v"), 5);
  ASSERT_TRUE(writer.Flush());
  TRegistry after(Hive());
  ASSERT_TRUE(after.OpenKey(QStringLiteral("K"), false));
  EXPECT_EQ(after.ReadInteger(QStringLiteral("v")), 5);
}

TEST_F(RegistryTest, AFileThatIsNoHiveReadsAsNoKeysAndIsKeptAsideBeforeTheNextWrite) {
  const QByteArray notHives[] = {
      QByteArray(),                           // empty file
      QByteArray("\x00\x01\x02 binary", 10),  // not text
      "Some other file\n[K]\n",               // wrong signature
      "\n"
      "Velvane registry hive 1\n[K]\n",  // the signature is not the first line
  };
  for (const QByteArray& bytes : notHives) {
    SCOPED_TRACE(bytes.toStdString());
    QDir(FTemp.File(QStringLiteral("velvane"))).removeRecursively();
    WriteHive(bytes);
    testing::internal::CaptureStderr();
    {
      TRegistry reg(Hive());
      EXPECT_FALSE(reg.KeyExists(QStringLiteral("K")));
      EXPECT_TRUE(reg.HiveReadError().isEmpty());
      EXPECT_TRUE(reg.OpenKey(QStringLiteral("New"), true));
      EXPECT_TRUE(reg.WriteInteger(QStringLiteral("v"), 1));
      EXPECT_TRUE(reg.Flush());
    }
    const std::string said = testing::internal::GetCapturedStderr();
    const QStringList aside = SetAsideFiles();
    ASSERT_EQ(aside.size(), 1);
    // One line names the file and where it went.
    EXPECT_EQ(said, "velvane: " + Hive().toStdString() + " is not a settings file (its first line is not " +
                        "\"Velvane registry hive 1\"); it " + "was moved to " +
                        FTemp.File(QStringLiteral("velvane/") + aside.first()).toStdString() +
                        " and new settings are written in its place\n");
    QFile kept(FTemp.File(QStringLiteral("velvane/") + aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), bytes);
    TRegistry after(Hive());
    EXPECT_TRUE(after.KeyExists(QStringLiteral("New")));
    EXPECT_FALSE(after.KeyExists(QStringLiteral("K")));
  }
}

// A hand-edited hive with one line that does not parse: that line is skipped,
// everything else is read, a warning names the file and the line, and the
// file as it was is kept aside before it is next written.
TEST_F(RegistryTest, ABadLineIsSkippedAndEverythingElseKept) {
  struct Case {
    QByteArray line;
    int badLines;  // the bad line, and the values under it when it is a key line
  };
  const Case cases[] = {
      {"\"v\"=dword:123456789", 1},     // nine hex digits
      {"\"v\"=dword:xyz", 1},           // not hex
      {"\"v\"=\"unterminated", 1},      // cut short
      {"\"v\"=\"bad \\q escape\"", 1},  // unknown escape
      {"\"v\"=\"\\u12\"", 1},           // short \u
      {"\"v\"=\"a\"trailing", 1},       // junk after the text
      {"\"Before\"=dword:7", 1},        // a value twice: the first one stays
      {"stray line", 1},                // unknown line
      {"\"v\"=\"\xff\xfe\"", 1},        // invalid UTF-8
      {"[K\\\\L]", 2},                  // empty key name
      {"[M", 2},                        // unclosed key line
      {"[\\M]", 2},                     // absolute key line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line.toStdString());
    QDir(FTemp.File(QStringLiteral("velvane"))).removeRecursively();
    const QByteArray bytes =
        "Velvane registry hive 1\n[K]\n\"before\"=dword:1\n" + c.line + "\n\"after\"=dword:2\n[L]\n\"x\"=\"y\"\n";
    WriteHive(bytes);

    testing::internal::CaptureStderr();
    {
      TRegistry reader(Hive());
      ASSERT_TRUE(reader.OpenKey(QStringLiteral("K"), false));
      EXPECT_EQ(reader.ReadInteger(QStringLiteral("before")), 1);
      EXPECT_EQ(reader.ValueExists(QStringLiteral("after")), c.badLines == 1);
      EXPECT_FALSE(reader.ValueExists(QStringLiteral("v")));
      ASSERT_TRUE(reader.OpenKey(QStringLiteral("\\L"), false));
      EXPECT_EQ(reader.ReadString(QStringLiteral("x")), QStringLiteral("y"));
    }
    EXPECT_EQ(HiveBytes(), bytes) << "reading changes nothing";
    EXPECT_TRUE(SetAsideFiles().isEmpty());
    {
      TRegistry writer(Hive());
      ASSERT_TRUE(writer.OpenKey(QStringLiteral("New"), true));
      EXPECT_TRUE(writer.WriteInteger(QStringLiteral("v"), 3));
      EXPECT_TRUE(writer.Flush());
    }
    const std::string warnings = testing::internal::GetCapturedStderr();
    // One warning, though the file was read three times.
    const std::string expected = Hive().toStdString() + (c.badLines == 1 ? ": line 4 " : ": lines 4 and 5 ");
    EXPECT_NE(warnings.find(expected), std::string::npos) << warnings;
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;

    const QStringList aside = SetAsideFiles();
    ASSERT_EQ(aside.size(), 1);
    QFile kept(FTemp.File(QStringLiteral("velvane/") + aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), bytes);
    EXPECT_FALSE(HiveBytes().contains(c.line));

    TRegistry after(Hive());
    ASSERT_TRUE(after.OpenKey(QStringLiteral("\\K"), false));
    EXPECT_EQ(after.ReadInteger(QStringLiteral("before")), 1);
    EXPECT_EQ(after.ValueExists(QStringLiteral("after")), c.badLines == 1);
    ASSERT_TRUE(after.OpenKey(QStringLiteral("\\L"), false));
    EXPECT_EQ(after.ReadString(QStringLiteral("x")), QStringLiteral("y"));
    ASSERT_TRUE(after.OpenKey(QStringLiteral("\\New"), false));
    EXPECT_EQ(after.ReadInteger(QStringLiteral("v")), 3);
  }
}

TEST_F(RegistryTest, AValueBeforeAnyKeyLineIsABadLineToo) {
  WriteHive("Velvane registry hive 1\n\"v\"=dword:1\n[K]\n\"w\"=dword:2\n");
  testing::internal::CaptureStderr();
  TRegistry reg(Hive());
  const std::string warnings = testing::internal::GetCapturedStderr();
  EXPECT_NE(warnings.find(": line 2 "), std::string::npos) << warnings;
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("K"), false));
  EXPECT_EQ(reg.ReadInteger(QStringLiteral("w")), 2);
  EXPECT_TRUE(reg.OpenKey(QStringLiteral("\\"), false));
  EXPECT_TRUE(reg.GetValueNames().isEmpty());
}

TEST_F(RegistryTest, SetAsideNeverReplacesAnEarlierDamagedHive) {
  for (int i = 0; i < 3; ++i) {
    WriteHive("damaged " + QByteArray::number(i));
    TRegistry reg(Hive());
    reg.OpenKey(QStringLiteral("K"), true);
  }
  const QStringList aside = SetAsideFiles();
  ASSERT_EQ(aside.size(), 3);
  QSet<QByteArray> contents;
  for (const QString& name : aside) {
    QFile f(FTemp.File(QStringLiteral("velvane/") + name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    contents.insert(f.readAll());
  }
  EXPECT_EQ(contents, (QSet<QByteArray>{"damaged 0", "damaged 1", "damaged 2"}));
}

TEST_F(RegistryTest, AHiveThatIsNoRegularFileIsNeitherReadNorLost) {
  // A fifo would block a reader; a folder cannot be read at all.
  ASSERT_TRUE(QDir().mkpath(FTemp.File(QStringLiteral("velvane"))));
  ASSERT_EQ(mkfifo(Hive().toLocal8Bit().constData(), 0600), 0);
  {
    TRegistry reg(Hive());
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("K")));
    reg.OpenKey(QStringLiteral("K"), true);
  }
  EXPECT_EQ(SetAsideFiles().size(), 1);
  EXPECT_TRUE(QFileInfo(Hive()).isFile());

  ASSERT_TRUE(QFile::remove(Hive()));
  ASSERT_TRUE(QDir().mkpath(Hive() + QStringLiteral("/inside")));
  {
    TRegistry reg(Hive());
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("K")));
    reg.OpenKey(QStringLiteral("K"), true);
  }
  EXPECT_EQ(SetAsideFiles().size(), 2);
  TRegistry after(Hive());
  EXPECT_TRUE(after.KeyExists(QStringLiteral("K")));
}

// A hive this user may not read is not known to be damaged: it is left
// where it is, never written over, and the reason is said once.
TEST_F(RegistryTest, AnUnreadableHiveIsLeftAsItIsAndNeverWrittenOver) {
  {
    TRegistry reg(Hive());
    reg.OpenKey(QStringLiteral("Old"), true);
  }
  const QByteArray before = HiveBytes();
  // The folders open to everyone, so that "nobody" can get at the file.
  ASSERT_EQ(chmod(FTemp.Path().toLocal8Bit().constData(), 0777), 0);
  ASSERT_EQ(chmod(FTemp.File(QStringLiteral("velvane")).toLocal8Bit().constData(), 0777), 0);
  const auto unreadable = [this, &before](const char* what, bool bSaysSo) {
    SCOPED_TRACE(what);
    testing::internal::CaptureStderr();
    {
      FileAccessAsNobody nobody;
      for (int i = 0; i < 2; ++i) {
        TRegistry reg(Hive());
        EXPECT_EQ(reg.HiveReadError(), QStringLiteral("Permission denied"));
        EXPECT_FALSE(reg.KeyExists(QStringLiteral("Old")));
        EXPECT_TRUE(reg.OpenKey(QStringLiteral("New"), true));
        EXPECT_TRUE(reg.WriteInteger(QStringLiteral("v"), 1));
        EXPECT_FALSE(reg.Flush());
      }
    }
    // Said once for the file and the reason, however often it is read.
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), bSaysSo ? 1 : 0) << warnings;
    if (bSaysSo) {
      EXPECT_NE(warnings.find(Hive().toStdString() + " cannot be read (Permission denied)"), std::string::npos)
          << warnings;
    }
    EXPECT_TRUE(SetAsideFiles().isEmpty());
    EXPECT_EQ(HiveBytes(), before);
  };
  ASSERT_EQ(chmod(Hive().toLocal8Bit().constData(), 0), 0);
  unreadable("a file without read permission", true);
  // A folder that may not be searched hides the hive just as well.
  ASSERT_EQ(chmod(Hive().toLocal8Bit().constData(), 0600), 0);
  ASSERT_EQ(chmod(FTemp.File(QStringLiteral("velvane")).toLocal8Bit().constData(), 0), 0);
  unreadable("a folder without search permission", false);
  ASSERT_EQ(chmod(FTemp.File(QStringLiteral("velvane")).toLocal8Bit().constData(), 0700), 0);

  TRegistry after(Hive());
  EXPECT_TRUE(after.HiveReadError().isEmpty());
  EXPECT_TRUE(after.KeyExists(QStringLiteral("Old")));
  EXPECT_FALSE(after.KeyExists(QStringLiteral("New")));
}

// Values a reader could not use are reported with their lines, once, and the
// file as it was is copied aside before a save replaces them.
TEST_F(RegistryTest, UnusableValuesAreNamedByLineAndTheFileIsKeptAsideBeforeTheNextWrite) {
  const QByteArray bytes =
      "Velvane registry hive 1\n[K]\n\"a\"=\"words\"\n\"b\"=dword:1\n\"c\"=\"more\"\n[L]\n\"a\"=\"x\"\n";
  WriteHive(bytes);
  testing::internal::CaptureStderr();
  for (int i = 0; i < 2; ++i) {
    TRegistry reg(Hive());
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("K"), false));
    reg.ReportUnusableValues({{QStringLiteral("C"), QStringLiteral("is wrong")},
                              {QStringLiteral("a"), QStringLiteral("is a text")},
                              {QStringLiteral("d"), QStringLiteral("is not there")}});
    reg.CloseKey();
    reg.ReportUnusableValues({{QStringLiteral("a"), QStringLiteral("with no key open")}});
  }
  EXPECT_TRUE(SetAsideFiles().isEmpty()) << "reading and reporting write nothing";
  {
    TRegistry writer(Hive());
    ASSERT_TRUE(writer.OpenKey(QStringLiteral("K"), false));
    ASSERT_TRUE(writer.WriteInteger(QStringLiteral("a"), 5));
    ASSERT_TRUE(writer.Flush());
  }
  const std::string warnings = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;
  EXPECT_NE(warnings.find(Hive().toStdString() + ": lines 3 and 5 hold values that cannot be used as they stand "
                                                 "(\"c\" is wrong; \"a\" is a text); "),
            std::string::npos)
      << warnings;
  EXPECT_NE(warnings.find("registry-hkcu.txt.damaged-<date>-<time>"), std::string::npos) << warnings;

  const QStringList aside = SetAsideFiles();
  ASSERT_EQ(aside.size(), 1);
  QFile kept(FTemp.File(QStringLiteral("velvane/") + aside.first()));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), bytes);
  EXPECT_FALSE(HiveBytes().contains("\"words\""));

  // A value this process wrote is not the file's to report; and once set
  // aside, later saves of the new content copy nothing.
  testing::internal::CaptureStderr();
  {
    TRegistry writer(Hive());
    ASSERT_TRUE(writer.OpenKey(QStringLiteral("K"), false));
    ASSERT_TRUE(writer.WriteString(QStringLiteral("b"), QStringLiteral("new text")));
    writer.ReportUnusableValues({{QStringLiteral("b"), QStringLiteral("is a text")}});
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(SetAsideFiles().size(), 1);
}

TEST_F(RegistryTest, ReplacingTheHiveKeepsItsPermissionsAndLeavesNoTemporaryFiles) {
  {
    TRegistry reg(Hive());
    reg.OpenKey(QStringLiteral("K"), true);
  }
  ASSERT_TRUE(QFile::setPermissions(Hive(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
  {
    TRegistry reg(Hive());
    reg.OpenKey(QStringLiteral("L"), true);
  }
  EXPECT_EQ(QFileInfo(Hive()).permissions(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
  const QStringList files = QDir(FTemp.File(QStringLiteral("velvane"))).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(files, QStringList{QStringLiteral("registry-hkcu.txt")});
}

TEST_F(RegistryTest, TheUsersHiveIsInTheConfigFolder) {
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", FTemp.Path().toLocal8Bit());
  EXPECT_EQ(QFileInfo(TRegistryFile::DefaultPath()).absoluteFilePath(),
            QFileInfo(FTemp.File(QStringLiteral("velvane/registry-hkcu.txt"))).absoluteFilePath());
  {
    TRegistry reg;
    reg.OpenKey(QStringLiteral("K"), true);
  }
  EXPECT_TRUE(QFileInfo(Hive()).isFile());
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(TRegistryFile::DefaultPath(), QDir::homePath() + QStringLiteral("/.config/velvane/registry-hkcu.txt"));
  qputenv("XDG_CONFIG_HOME", saved);
}

TEST(RegistryHiveText, ReadsWhatItWritesAndHandEditedFiles) {
  TRegKey root;
  root.CreateKey({QStringLiteral("A"), QStringLiteral("B")})->SetValue(TRegValue::Integer(QStringLiteral("n"), 42));
  root.CreateKey({QStringLiteral("Empty")});
  root.SetValue(TRegValue::String(QString(), QStringLiteral("root default")));
  const QByteArray text = HiveToText(root);
  std::optional<TParsedHive> back = HiveFromText(text);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->BadLines.empty());
  EXPECT_EQ(HiveToText(back->Root), text);
  EXPECT_TRUE(text.contains("\n[A\\B]\n\"n\"=dword:0000002a\n"));
  EXPECT_TRUE(text.contains("\n[Empty]\n"));

  // Windows line ends, comments, blank lines, repeated sections and short dwords.
  const QByteArray edited =
      "Velvane registry hive 1\r\n; a comment\r\n\r\n[X\\Y]\r\n\"a\"=dword:A\r\n  "
      "\r\n[x]\r\n\"b\"=\"t\"\r\n[X\\Y]\r\n@=dword:ffffffff\r\n";
  std::optional<TParsedHive> parsed = HiveFromText(edited);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->BadLines.empty());
  const TRegKey* y = parsed->Root.FindKey({QStringLiteral("x"), QStringLiteral("y")});
  ASSERT_TRUE(y);
  EXPECT_EQ(y->FindValue(QStringLiteral("A"))->Dword, 10u);
  EXPECT_EQ(y->FindValue(QString())->Dword, 0xFFFFFFFFu);
  EXPECT_EQ(parsed->Root.FindKey({QStringLiteral("X")})->FindValue(QStringLiteral("b"))->Text, QStringLiteral("t"));

  // A byte-order mark, as some editors write, does not hide the signature.
  std::optional<TParsedHive> marked = HiveFromText("\xEF\xBB\xBFVelvane registry hive 1\n[K]\n");
  ASSERT_TRUE(marked);
  EXPECT_TRUE(marked->BadLines.empty());
  EXPECT_TRUE(marked->Root.FindKey({QStringLiteral("K")}));
}

TEST(RegistryHiveText, BadLinesAreNumberedFromTheSignatureLine) {
  std::optional<TParsedHive> parsed = HiveFromText(
      "Velvane registry hive 1\r\n[A]\r\n\"ok\"=dword:1\r\nbad\r\n; comment\r\n[B\\\\C]\r\n\"under bad\"=dword:2\r\n"
      "\r\n[D]\r\n\"ok\"=dword:3\r\n\"ok\"=dword:4\r\n");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->BadLines, (std::vector<int>{4, 6, 7, 11}));
  EXPECT_EQ(parsed->Root.FindKey({QStringLiteral("A")})->FindValue(QStringLiteral("ok"))->Dword, 1u);
  EXPECT_EQ(parsed->Root.FindKey({QStringLiteral("D")})->FindValue(QStringLiteral("ok"))->Dword, 3u);
  EXPECT_FALSE(parsed->Root.FindKey({QStringLiteral("B")}));
  EXPECT_FALSE(HiveFromText("Velvane registry hive 2\n[A]\n"));
}

TEST(RegistryHiveText, DamagedVariantsOfAHiveNeverCrashAndKeepWhatParses) {
  TRegKey root;
  TRegKey* key = root.CreateKey({QStringLiteral("SOFTWARE"), QStringLiteral("Classes"), QStringLiteral(".jpg")});
  key->SetValue(TRegValue::String(QString(), QString::fromUtf8("Velvane \"ünï\"\n\\")));
  key->SetValue(TRegValue::Integer(QStringLiteral("n"), 0x01050200));
  const QByteArray text = HiveToText(root);
  QRandomGenerator random(20240601);
  for (int i = 0; i < 3000; ++i) {
    QByteArray damaged = text;
    for (int edits = random.bounded(1, 4); edits > 0 && !damaged.isEmpty(); --edits) {
      const int at = random.bounded(int(damaged.size()));
      switch (random.bounded(3)) {
        case 0: damaged[at] = char(random.bounded(256)); break;
        case 1: damaged.remove(at, random.bounded(1, 8)); break;
        default: damaged.truncate(at); break;
      }
    }
    // Whatever parses writes out again as a hive that parses to the same
    // text, with no line to skip; the skipped lines are lines of the text.
    if (std::optional<TParsedHive> parsed = HiveFromText(damaged)) {
      const int lineCount = int(damaged.count('\n')) + 1;
      for (int line : parsed->BadLines) ASSERT_TRUE(line >= 2 && line <= lineCount) << line;
      const QByteArray again = HiveToText(parsed->Root);
      std::optional<TParsedHive> reparsed = HiveFromText(again);
      ASSERT_TRUE(reparsed) << damaged.toStdString();
      EXPECT_TRUE(reparsed->BadLines.empty());
      EXPECT_EQ(HiveToText(reparsed->Root), again);
    }
  }
}

}  // namespace
