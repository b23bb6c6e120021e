#include "platform/registry_file.h"

#include "platform/atomic_file.h"
#include "platform/registry_hive_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <cstdio>
#include <utility>

namespace {

// Far above any hive the viewer writes (some kilobytes); a bigger file is not
// ours and is not read into memory.
constexpr qint64 kMaxHiveSize = 8 * 1024 * 1024;

// Saves take milliseconds; a lock held longer than this belongs to a process
// that hangs, and waiting on would hang the viewer too.
constexpr int kLockTimeoutMs = 10000;
// A writer killed while creating its lock file leaves one that names no
// process; it counts as abandoned once this old, well inside the timeout.
constexpr int kStaleLockMs = 4000;

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

bool TRegistryFile::Update(const std::function<void(TRegKey&)>& apply) const {
  if (!QDir().mkpath(QFileInfo(FPath).absolutePath())) return false;
  QLockFile lock(LockPath());
  lock.setStaleLockTime(kStaleLockMs);
  if (!lock.tryLock(kLockTimeoutMs)) return false;

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
