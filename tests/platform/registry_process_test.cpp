// Several viewer processes on one hive: concurrent saves and saves cut short by a kill.
#include "platform/registry.h"
#include "platform/registry_hive_text.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
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

// The hive as it is on disk, without what this process still keeps to write.
TRegKey OnDisk(const QString& hive) {
  QFile file(hive);
  if (!file.open(QIODevice::ReadOnly)) return TRegKey();
  std::optional<TParsedHive> parsed = HiveFromText(file.readAll());
  return parsed ? std::move(parsed->Root) : TRegKey();
}

bool HasValue(const TRegKey& root, const QString& key, const QString& name) {
  const TRegKey* k = root.FindKey({key});
  return k && k->FindValue(name);
}

void SetAge(const QString& path, int seconds) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
}

TEST_F(RegistryProcessTest, ALockFileLeftEmptyByAKilledWriterIsTakenOverOnceItIsOld) {
  // A writer killed while creating its lock leaves a file that names no process.
  QDir().mkpath(QFileInfo(Hive()).absolutePath());
  const QString lockPath = Hive() + QStringLiteral(".lock");
  QFile lock(lockPath);
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.close();
  // Just made, it may belong to a writer about to fill it in: it is respected.
  {
    TRegistry reg(Hive());
    reg.OpenKey(QStringLiteral("Early"), true);
    reg.WriteInteger(QStringLiteral("n"), 1);
    EXPECT_FALSE(reg.Flush());
  }
  EXPECT_FALSE(HasValue(OnDisk(Hive()), QStringLiteral("Early"), QStringLiteral("n")));
  // Old, it is abandoned: the next save takes it over and writes both changes.
  SetAge(lockPath, 10);
  TRegistry reg(Hive());
  reg.OpenKey(QStringLiteral("After"), true);
  reg.WriteInteger(QStringLiteral("n"), 1);
  EXPECT_TRUE(reg.Flush());
  const TRegKey disk = OnDisk(Hive());
  EXPECT_TRUE(HasValue(disk, QStringLiteral("Early"), QStringLiteral("n")));
  EXPECT_TRUE(HasValue(disk, QStringLiteral("After"), QStringLiteral("n")));
}

TEST_F(RegistryProcessTest, ALiveOwnersLockIsNeverBrokenHoweverOldItLooks) {
  // The lock file of a live viewer (this test) as a file system without
  // native locks keeps it: only the recorded PID, program and host tell that
  // its owner is alive. It looks a minute old, far beyond any save.
  QDir().mkpath(QFileInfo(Hive()).absolutePath());
  const QString lockPath = Hive() + QStringLiteral(".lock");
  QByteArray liveRecord;
  {
    QLockFile model(Hive() + QStringLiteral(".model"));
    ASSERT_TRUE(model.tryLock(0));
    QFile f(Hive() + QStringLiteral(".model"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    liveRecord = f.readAll();
  }
  FTemp.Write(QStringLiteral("velvane/registry-hkcu.txt.lock"), liveRecord);
  SetAge(lockPath, 60);

  auto waiter = StartWriter({QStringLiteral("saves"), Hive(), QStringLiteral("Waiter"), QStringLiteral("1")});
  EXPECT_FALSE(waiter->waitForFinished(1500)) << "the waiter broke a live owner's lock";
  EXPECT_TRUE(QFileInfo::exists(lockPath));
  EXPECT_FALSE(QFileInfo::exists(Hive()));
  ASSERT_TRUE(QFile::remove(lockPath));  // the owner's save ends
  ASSERT_TRUE(waiter->waitForFinished(30000));
  EXPECT_EQ(waiter->exitCode(), 0);
  const TRegKey disk = OnDisk(Hive());
  const TRegKey* written = disk.FindKey({QStringLiteral("Writers"), QStringLiteral("Waiter")});
  EXPECT_TRUE(written && written->FindValue(QStringLiteral("v0")));
}

TEST_F(RegistryProcessTest, FromTheWindowASaveWaitsAboutASecondAndKeepsItsChangeForTheNextWrite) {
  // This test's main thread is the user-interface thread of a GUI program.
  auto holder = StartWriter({QStringLiteral("hold"), Hive(), QStringLiteral("slow"), QStringLiteral("5000")});
  ASSERT_TRUE(WaitForReady(*holder));
  QElapsedTimer timer;
  timer.start();
  {
    TRegistry reg(Hive());
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Window"), true));
    reg.WriteInteger(QStringLiteral("SortType"), 0);
    EXPECT_FALSE(reg.Flush());
  }
  const qint64 waited = timer.elapsed();
  EXPECT_GE(waited, 500);
  EXPECT_LT(waited, 4000) << "the window must not freeze while another viewer saves";
  {
    TRegistry reg(Hive());  // this process sees its own change at once
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Window"), false));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("SortType")), 0);
    EXPECT_TRUE(reg.ValueExists(QStringLiteral("SortType")));
  }
  ASSERT_TRUE(holder->waitForFinished(30000));
  EXPECT_EQ(holder->exitCode(), 0);
  EXPECT_FALSE(HasValue(OnDisk(Hive()), QStringLiteral("Window"), QStringLiteral("SortType")));

  // The next registry object takes the chance, even one that changes nothing.
  { TRegistry reader(Hive()); }
  const TRegKey disk = OnDisk(Hive());
  EXPECT_TRUE(HasValue(disk, QStringLiteral("Window"), QStringLiteral("SortType")));
  EXPECT_TRUE(HasValue(disk, QStringLiteral("Holders"), QStringLiteral("slow")));
}

TEST_F(RegistryProcessTest, AChangeStillWaitingIsWrittenWhenTheProgramEnds) {
  QDir().mkpath(QFileInfo(Hive()).absolutePath());
  QLockFile lock(Hive() + QStringLiteral(".lock"));  // held by this live process
  ASSERT_TRUE(lock.tryLock(0));
  auto viewer = StartWriter({QStringLiteral("ui-save"), Hive(), QStringLiteral("Sorted")});
  while (!viewer->canReadLine()) ASSERT_TRUE(viewer->waitForReadyRead(20000));
  const QList<QByteArray> report = viewer->readLine().trimmed().split(' ');
  ASSERT_EQ(report.size(), 2);
  EXPECT_EQ(report[0], "pending");
  EXPECT_LT(report[1].toInt(), 4000);
  QThread::msleep(300);  // the viewer is ending now, waiting for the lock
  EXPECT_FALSE(HasValue(OnDisk(Hive()), QStringLiteral("Window"), QStringLiteral("Sorted")));
  lock.unlock();
  ASSERT_TRUE(viewer->waitForFinished(30000));
  EXPECT_EQ(viewer->exitCode(), 0);
  EXPECT_TRUE(HasValue(OnDisk(Hive()), QStringLiteral("Window"), QStringLiteral("Sorted")));
}

}  // namespace
