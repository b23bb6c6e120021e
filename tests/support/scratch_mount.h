#pragma once

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A small tmpfs of our own, for a full disk or a read-only folder. Mounting
// needs privileges: Mounted() is false where it is not permitted, and tests
// skip with a message then.
class TScratchMount {
public:
  explicit TScratchMount(const QString& size = QStringLiteral("1m")) {
    if (!FDir.isValid()) return;
    FMounted = QProcess::execute(QStringLiteral("mount"),
                                 {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                  QStringLiteral("size=") + size, QStringLiteral("tmpfs"), FDir.path()}) == 0;
  }
  ~TScratchMount() {
    if (FMounted) QProcess::execute(QStringLiteral("umount"), {FDir.path()});
  }
  TScratchMount(const TScratchMount&) = delete;
  TScratchMount& operator=(const TScratchMount&) = delete;

  bool Mounted() const { return FMounted; }
  QString Path() const { return FDir.path() + u'/'; }
  QString File(const QString& name) const { return Path() + name; }
  bool MakeReadOnly() {
    return QProcess::execute(QStringLiteral("mount"),
                             {QStringLiteral("-o"), QStringLiteral("remount,ro"), FDir.path()}) == 0;
  }
  QStringList Entries() const {
    return QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

private:
  QTemporaryDir FDir;
  bool FMounted = false;
};

#define SKIP_UNLESS_MOUNTED(mount) \
  if (!(mount).Mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here (it needs root)"
