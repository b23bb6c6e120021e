#include "platform/registry_file.h"

#include "platform/atomic_file.h"
#include "platform/registry_hive_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

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
  std::optional<TRegKey> hive = HiveFromText(bytes);
  if (!hive) return TReadResult::Damaged;
  root = std::move(*hive);
  return TReadResult::Ok;
}

TRegKey TRegistryFile::Read() const {
  TRegKey root;
  if (Load(root) != TReadResult::Ok) return TRegKey();
  return root;
}

bool TRegistryFile::SetAside() const {
  const QString base =
      FPath + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  for (int n = 1; n <= kMaxSetAsideTries; ++n) {
    const QString target = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) continue;
    // QFile::rename never replaces an existing target.
    return QFile::rename(FPath, target);
  }
  return false;
}

bool TRegistryFile::Update(const std::function<void(TRegKey&)>& apply) const {
  if (!QDir().mkpath(QFileInfo(FPath).absolutePath())) return false;
  QLockFile lock(LockPath());
  lock.setStaleLockTime(kStaleLockMs);
  if (!lock.tryLock(kLockTimeoutMs)) return false;

  TRegKey root;
  if (Load(root) == TReadResult::Damaged) {
    if (!SetAside()) return false;
    root = TRegKey();
  }
  apply(root);

  TAtomicFile file(QFile::encodeName(FPath).toStdString());
  file.SetBeforeReplace(OnBeforeReplace);
  const QByteArray text = HiveToText(root);
  return file.Open() && file.Write(std::span(reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size()))) &&
         file.Commit();
}
