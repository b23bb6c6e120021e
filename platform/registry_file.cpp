#include "platform/registry_file.h"

#include "platform/atomic_file.h"
#include "platform/registry_hive_text.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// Far above any hive the viewer writes (some kilobytes); a bigger file is not
// ours and is not read into memory.
constexpr qint64 kMaxHiveSize = 8 * 1024 * 1024;

// A writer killed while creating its lock file leaves one that names no
// process; it counts as abandoned once this old (the owner writes its record
// at once after creating the file).
constexpr qint64 kAbandonedEmptyLockMs = 4000;

// Waits on the lock are cut into slices so that abandoned lock files are
// looked for while waiting.
constexpr std::chrono::milliseconds kLockSlice{100};

constexpr int kMaxSetAsideTries = 1000;

// At most this many line numbers are named in the warning.
constexpr std::size_t kLinesNamed = 10;

QString LineList(const std::vector<int>& lines) {
  QStringList named;
  for (std::size_t i = 0; i < lines.size() && i < kLinesNamed; ++i) named << QString::number(lines[i]);
  if (lines.size() > kLinesNamed) return named.join(QStringLiteral(", ")) + QStringLiteral(" and %1 more").arg(lines.size() - kLinesNamed);
  if (named.size() == 1) return named.first();
  const QString last = named.takeLast();
  return named.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// One line on stderr for each hive content with skipped lines, however often
// the viewer reads it before the next save rewrites it.
void WarnOfSkippedLines(const QString& path, const QByteArray& bytes, const std::vector<int>& lines) {
  static QMutex mutex;
  static QSet<QString> warned;
  const QString key = path + u'\n' + QString::number(qHash(bytes));
  {
    const QMutexLocker locker(&mutex);
    if (warned.contains(key)) return;
    warned.insert(key);
  }
  const QString text =
      QStringLiteral("velvane: %1: %2 %3 cannot be read and %4 skipped; the other settings are kept, and the file as "
                     "it is now will be kept beside it as %5.damaged-<date>-<time> when the settings are next saved\n")
          .arg(path, lines.size() == 1 ? QStringLiteral("line") : QStringLiteral("lines"), LineList(lines),
               lines.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"), QFileInfo(path).fileName());
  std::fputs(text.toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
}

// Removes a lock file that names no owner (empty, or cut short) and is old:
// its writer was killed while creating it. Under the ".rmlock" guard that
// QLockFile itself takes to remove stale locks, so that two removers never
// remove a lock that a third process has just made.
bool RemoveAbandonedEmptyLock(const QString& lockPath) {
  const auto isAbandoned = [&lockPath] {
    const QFileInfo info(lockPath);
    if (!info.isFile()) return false;
    qint64 pid = 0;
    QString host, program;
    if (QLockFile(lockPath).getLockInfo(&pid, &host, &program)) return false;
    return std::abs(info.lastModified().msecsTo(QDateTime::currentDateTime())) > kAbandonedEmptyLockMs;
  };
  if (!isAbandoned()) return false;
  QLockFile guard(lockPath + QStringLiteral(".rmlock"));
  guard.setStaleLockTime(0);
  if (!guard.tryLock(0)) return false;
  return isAbandoned() && QFile::remove(lockPath);
}

// Takes the lock that all viewer processes share, waiting at most wait. A
// lock is taken over only when it is abandoned: its owner process is gone
// (QLockFile reads the PID, host and program that the file records) or the
// file names no owner and is old. A live owner's lock is never broken,
// however long its save takes.
bool AcquireHiveLock(QLockFile& lock, const QString& lockPath, std::chrono::milliseconds wait) {
  lock.setStaleLockTime(0);  // never by age alone
  const QDeadlineTimer deadline(wait);
  for (;;) {
    const auto left = std::chrono::milliseconds(std::max<qint64>(0, deadline.remainingTime()));
    if (lock.tryLock(std::min(left, kLockSlice))) return true;
    if (lock.error() != QLockFile::LockFailedError) return false;
    if (RemoveAbandonedEmptyLock(lockPath)) continue;
    if (deadline.hasExpired()) return false;
  }
}

}  // namespace

TRegistryFile::TRegistryFile(QString path) : FPath(std::move(path)) {}

QString TRegistryFile::DefaultPath() {
  QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  return config + QStringLiteral("/velvane/registry-hkcu.txt");
}

TRegistryFile::TReadResult TRegistryFile::Load(TRegKey& root) const {
  const QFileInfo info(FPath);
  if (!info.exists()) return TReadResult::Missing;
  // Not opened unless it is a regular file: reading a fifo would block.
  if (!info.isFile() || info.size() > kMaxHiveSize) return TReadResult::Damaged;
  QFile file(FPath);
  if (!file.open(QIODevice::ReadOnly)) return TReadResult::Damaged;
  const QByteArray bytes = file.read(kMaxHiveSize + 1);
  if (file.error() != QFileDevice::NoError || bytes.size() > kMaxHiveSize) return TReadResult::Damaged;
  std::optional<TParsedHive> hive = HiveFromText(bytes);
  if (!hive) return TReadResult::Damaged;
  root = std::move(hive->Root);
  if (hive->BadLines.empty()) return TReadResult::Ok;
  WarnOfSkippedLines(FPath, bytes, hive->BadLines);
  return TReadResult::SkippedLines;
}

TRegKey TRegistryFile::Read() const {
  TRegKey root;
  if (Load(root) == TReadResult::Damaged) return TRegKey();
  return root;
}

bool TRegistryFile::SetAside(bool bCopy) const {
  const QString base =
      FPath + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  for (int n = 1; n <= kMaxSetAsideTries; ++n) {
    const QString target = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) continue;
    // Neither replaces an existing target; a copy keeps the permissions.
    return bCopy ? QFile::copy(FPath, target) : QFile::rename(FPath, target);
  }
  return false;
}

bool TRegistryFile::Update(const std::function<void(TRegKey&)>& apply, std::chrono::milliseconds lockWait,
                           bool* lockBusy) const {
  if (lockBusy) *lockBusy = false;
  if (!QDir().mkpath(QFileInfo(FPath).absolutePath())) return false;
  QLockFile lock(LockPath());
  if (!AcquireHiveLock(lock, LockPath(), lockWait)) {
    if (lockBusy) *lockBusy = lock.error() == QLockFile::LockFailedError;
    return false;
  }

  TRegKey root;
  switch (Load(root)) {
    case TReadResult::Damaged:
      // Not a hive: moved aside whole, and the new hive starts empty.
      if (!SetAside(false)) return false;
      root = TRegKey();
      break;
    case TReadResult::SkippedLines:
      // The lines that could not be read survive only in the copy.
      if (!SetAside(true)) return false;
      break;
    case TReadResult::Missing:
    case TReadResult::Ok:
      break;
  }
  apply(root);

  TAtomicFile file(QFile::encodeName(FPath).toStdString());
  file.SetBeforeReplace(OnBeforeReplace);
  const QByteArray text = HiveToText(root);
  return file.Open() && file.Write(std::span(reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size()))) &&
         file.Commit();
}
