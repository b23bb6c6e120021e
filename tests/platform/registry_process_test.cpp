// Several viewer processes on one hive: concurrent saves and saves cut short by a kill.
#include "platform/registry.h"
#include "platform/registry_hive_text.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <memory>

namespace {

class RegistryProcessTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTemp.IsValid()); }

  QString Hive() const { return FTemp.File(QStringLiteral("velvane/registry-hkcu.txt")); }

  std::unique_ptr<QProcess> StartWriter(const QStringList& args) const {
    auto process = std::make_unique<QProcess>();
    process->setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/registry_writer"));
    process->setArguments(args);
    process->start();
    EXPECT_TRUE(process->waitForStarted(10000));
    return process;
  }

  static bool WaitForReady(QProcess& process) {
    while (!process.canReadLine())
      if (!process.waitForReadyRead(20000)) return false;
    return process.readLine().trimmed() == "ready";
  }

  static void Kill(QProcess& process) {
    process.kill();  // SIGKILL: no destructor, no clean-up
    process.waitForFinished(10000);
  }

  // The hive file parses; the values of \Big, when there, all come from one save.
  void ExpectWholeHive(int bigCount) const {
    QFile file(Hive());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::optional<TParsedHive> hive = HiveFromText(file.readAll());
    ASSERT_TRUE(hive && hive->BadLines.empty()) << "the hive file is damaged";
    const TRegKey* big = hive->Root.FindKey({QStringLiteral("Big")});
    if (!big) return;
    ASSERT_EQ(int(big->Values().size()), bigCount);
    for (const TRegValue& v : big->Values()) ASSERT_EQ(v.Dword, big->Values().front().Dword);
  }

  TempFolder FTemp;
};

TEST_F(RegistryProcessTest, TwoProcessesSavingAtOnceLoseNeithersKeys) {
  constexpr int kSaves = 150;
  {
    TRegistry seed(Hive());
    seed.OpenKey(QStringLiteral("Before"), true);
  }
  auto first = StartWriter({QStringLiteral("saves"), Hive(), QStringLiteral("First"), QString::number(kSaves)});
  auto second = StartWriter({QStringLiteral("saves"), Hive(), QStringLiteral("Second"), QString::number(kSaves)});
  ASSERT_TRUE(first->waitForFinished(120000));
  ASSERT_TRUE(second->waitForFinished(120000));
  EXPECT_EQ(first->exitCode(), 0);
  EXPECT_EQ(second->exitCode(), 0);

  TRegistry reg(Hive());
  EXPECT_TRUE(reg.KeyExists(QStringLiteral("Before")));
  for (const QString& name : {QStringLiteral("First"), QStringLiteral("Second")}) {
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Writers\\") + name, false));
    EXPECT_EQ(reg.GetValueNames().size(), kSaves) << name.toStdString();
    for (int i = 0; i < kSaves; ++i) EXPECT_EQ(reg.ReadInteger(QStringLiteral("v%1").arg(i)), i);
  }
}

TEST_F(RegistryProcessTest, ASaveKilledBeforeItsRenameLeavesTheOldHiveAndNoLock) {
  {
    TRegistry seed(Hive());
    seed.OpenKey(QStringLiteral("Old"), true);
    seed.WriteString(QStringLiteral("v"), QStringLiteral("kept"));
  }
  QFile before(Hive());
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray oldBytes = before.readAll();
  before.close();

  auto writer = StartWriter({QStringLiteral("hang"), Hive(), QStringLiteral("5000")});
  ASSERT_TRUE(WaitForReady(*writer));  // new hive written, lock held, rename pending
  Kill(*writer);

  QFile after(Hive());
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), oldBytes);

  // The dead writer's lock does not block the next save.
  TRegistry reg(Hive());
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("Old"), false));
  EXPECT_EQ(reg.ReadString(QStringLiteral("v")), QStringLiteral("kept"));
  reg.WriteString(QStringLiteral("v"), QStringLiteral("changed"));
  EXPECT_TRUE(reg.Flush());
  TRegistry check(Hive());
  check.OpenKey(QStringLiteral("Old"), false);
  EXPECT_EQ(check.ReadString(QStringLiteral("v")), QStringLiteral("changed"));
}

TEST_F(RegistryProcessTest, KillsAtRandomMomentsNeverLeaveABrokenHive) {
  constexpr int kValues = 20000;
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    auto writer = StartWriter({QStringLiteral("churn"), Hive(), QString::number(kValues)});
    ASSERT_TRUE(WaitForReady(*writer));
    QThread::msleep(QRandomGenerator::global()->bounded(5, 120));
    Kill(*writer);
    ExpectWholeHive(kValues);
    // And the next writer gets the lock at once.
    TRegistry reg(Hive());
    reg.OpenKey(QStringLiteral("Round"), true);
    reg.WriteInteger(QStringLiteral("n"), round);
    ASSERT_TRUE(reg.Flush());
  }
}

}  // namespace

namespace {

TEST_F(RegistryProcessTest, ALockFileLeftHalfWrittenByAKilledWriterIsTakenOver) {
  // A writer killed while creating its lock leaves a file that names no process.
  QDir().mkpath(QFileInfo(Hive()).absolutePath());
  QFile lock(Hive() + QStringLiteral(".lock"));
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.close();
  TRegistry reg(Hive());
  reg.OpenKey(QStringLiteral("After"), true);
  reg.WriteInteger(QStringLiteral("n"), 1);
  EXPECT_TRUE(reg.Flush());
}

}  // namespace
