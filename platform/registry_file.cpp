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
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <sys/stat.h>

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
  if (lines.size() > kLinesNamed)
    return named.join(QStringLiteral(", ")) + QStringLiteral(" and %1 more").arg(lines.size() - kLinesNamed);
  if (named.size() == 1) return named.first();
  const QString last = named.takeLast();
  return named.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

void PrintLine(const QString& text) {
  std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
}

// Whether key is new to the set; remembers it. Each warning is printed once
// per process for the same file and content, however often it is read.
bool FirstTime(const QString& key) {
  static QMutex mutex;
  static QSet<QString> seen;
  const QMutexLocker locker(&mutex);
  if (seen.contains(key)) return false;
  seen.insert(key);
  return true;
}

QString ContentKey(const QString& path, std::size_t digest) { return path + u'\n' + QString::number(digest); }

QString KeptAsideLater(const QString& path) {
  return QStringLiteral(
             "the file as it is now will be kept beside it as %1.damaged-<date>-<time> when the settings "
             "are next saved")
      .arg(QFileInfo(path).fileName());
}

QString LinesPhrase(const std::vector<int>& lines) {
  return (lines.size() == 1 ? QStringLiteral("line ") : QStringLiteral("lines ")) + LineList(lines);
}

void WarnOfSkippedLines(const QString& path, std::size_t digest, const std::vector<int>& lines) {
  if (!FirstTime(QStringLiteral("skipped\n") + ContentKey(path, digest))) return;
  PrintLine(QStringLiteral("velvane: %1: %2 cannot be read and %3 skipped; the other settings are kept, and %4")
                .arg(path, LinesPhrase(lines), lines.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                     KeptAsideLater(path)));
}

// The contents that readers found values in they could not use: each is
// copied aside before a save replaces it.
QMutex& CopyRequestMutex() {
  static QMutex mutex;
  return mutex;
}
QSet<QString>& CopyRequests() {
  static QSet<QString> requests;
  return requests;
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

TRegistryFile::TReadResult TRegistryFile::Load(TRegKey& root, QString& why, std::size_t& digest) const {
  why.clear();
  digest = 0;
  struct stat st {};
  if (::stat(QFile::encodeName(FPath).constData(), &st) != 0) {
    // A folder on the way that is no folder means no hive; anything else
    // (a folder we may not search ...) hides one that may well be there.
    if (errno == ENOENT || errno == ENOTDIR) return TReadResult::Missing;
    why = QString::fromLocal8Bit(std::strerror(errno));
    return TReadResult::Unreadable;
  }
  // Not opened unless it is a regular file: reading a fifo would block.
  if (!S_ISREG(st.st_mode)) {
    why = QStringLiteral("it is not a regular file");
    return TReadResult::Damaged;
  }
  if (st.st_size > kMaxHiveSize) {
    why = QStringLiteral("it is larger than any settings file");
    return TReadResult::Damaged;
  }
  QFile file(FPath);
  if (!file.open(QIODevice::ReadOnly)) {
    why = file.errorString();
    return TReadResult::Unreadable;
  }
  const QByteArray bytes = file.read(kMaxHiveSize + 1);
  if (file.error() != QFileDevice::NoError) {
    why = file.errorString();
    return TReadResult::Unreadable;
  }
  if (bytes.size() > kMaxHiveSize) {
    why = QStringLiteral("it is larger than any settings file");
    return TReadResult::Damaged;
  }
  digest = qHash(bytes);
  std::optional<TParsedHive> hive = HiveFromText(bytes);
  if (!hive) {
    why = QStringLiteral("its first line is not \"Velvane registry hive 1\"");
    return TReadResult::Damaged;
  }
  root = std::move(hive->Root);
  if (hive->BadLines.empty()) return TReadResult::Ok;
  WarnOfSkippedLines(FPath, digest, hive->BadLines);
  return TReadResult::SkippedLines;
}

TRegKey TRegistryFile::Read() {
  TRegKey root;
  QString why;
  const TReadResult result = Load(root, why, FReadDigest);
  FReadError = result == TReadResult::Unreadable ? why : QString();
  if (result == TReadResult::Unreadable && FirstTime(QStringLiteral("unreadable\n") + FPath + u'\n' + why))
    PrintLine(QStringLiteral("velvane: %1 cannot be read (%2); the viewer runs on its factory settings and leaves "
                             "the file as it is")
                  .arg(FPath, why));
  if (result == TReadResult::Damaged || result == TReadResult::Unreadable) return TRegKey();
  return root;
}

void TRegistryFile::WarnOfUnusableLines(const std::vector<int>& lines, const QString& problem) const {
  if (lines.empty()) return;
  const QString content = ContentKey(FPath, FReadDigest);
  {
    const QMutexLocker locker(&CopyRequestMutex());
    CopyRequests().insert(content);
  }
  if (!FirstTime(QStringLiteral("unusable\n") + content)) return;
  PrintLine(QStringLiteral("velvane: %1: %2 %3 (%4); %5")
                .arg(FPath, LinesPhrase(lines),
                     lines.size() == 1 ? QStringLiteral("holds a value that cannot be used as it stands")
                                       : QStringLiteral("hold values that cannot be used as they stand"),
                     problem, KeptAsideLater(FPath)));
}

QString TRegistryFile::SetAside(bool bCopy) const {
  const QString base =
      FPath + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  for (int n = 1; n <= kMaxSetAsideTries; ++n) {
    const QString target = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) continue;
    // Neither replaces an existing target; a copy keeps the permissions.
    const bool bDone = bCopy ? QFile::copy(FPath, target) : QFile::rename(FPath, target);
    return bDone ? target : QString();
  }
  return {};
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
  QString why;
  std::size_t digest = 0;
  const TReadResult result = Load(root, why, digest);
  const QString content = ContentKey(FPath, digest);
  bool bCopyRequested = false;
  {
    const QMutexLocker locker(&CopyRequestMutex());
    bCopyRequested = CopyRequests().contains(content);
  }
  switch (result) {
    case TReadResult::Unreadable:
      // What it holds is unknown: it is not ours to replace.
      return false;
    case TReadResult::Damaged: {
      // Not a hive: moved aside whole, and the new hive starts empty.
      const QString target = SetAside(false);
      if (target.isEmpty()) return false;
      PrintLine(QStringLiteral("velvane: %1 is not a settings file (%2); it was moved to %3 and new settings are "
                               "written in its place")
                    .arg(FPath, why, target));
      root = TRegKey();
      break;
    }
    case TReadResult::SkippedLines:
      // The lines that could not be read survive only in the copy.
      if (SetAside(true).isEmpty()) return false;
      break;
    case TReadResult::Ok:
      // Values a reader could not use are replaced by this save, most likely.
      if (bCopyRequested && SetAside(true).isEmpty()) return false;
      break;
    case TReadResult::Missing: break;
  }
  apply(root);

  TAtomicFile file(QFile::encodeName(FPath).toStdString());
  file.SetBeforeReplace(OnBeforeReplace);
  const QByteArray text = HiveToText(root);
  const bool bWritten =
      file.Open() && file.Write(std::span(reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size()))) &&
      file.Commit();
  if (bWritten && bCopyRequested) {
    const QMutexLocker locker(&CopyRequestMutex());
    CopyRequests().remove(content);
  }
  return bWritten;
}
