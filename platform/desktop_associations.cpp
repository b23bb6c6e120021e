#include "platform/desktop_associations.h"

#include "platform/desktop_entry.h"
#include "platform/mimeapps_list.h"
#include "platform/registry.h"
#include "platform/user_mime_package.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QByteArray kDefaults = "Default Applications";

// Flags kept beside the backed-up lines; no MIME type begins with ':'.
const QString kCreatedFile = QStringLiteral(":created-file");
const QString kCreatedGroup = QStringLiteral(":created-group");
const QString kAddedLineEnd = QStringLiteral(":added-line-end");

constexpr int kLockTimeoutMs = 10000;
constexpr int kStaleLockMs = 4000;
constexpr int kToolTimeoutMs = 10000;

QString ConfigHome() {
  QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  return config;
}

// Writes the entry while a program is wanted, removes it when none is. An
// entry at our ID that the viewer did not write is the user's and stays.
bool SyncDesktopEntry(const TDesktopAssociations& wanted) {
  const QString path = UserDesktopEntryPath();
  QByteArray current;
  const TKeyFileRead read = ReadKeyFile(path, current);
  if (read == TKeyFileRead::Unusable) return false;
  const bool bOurs = read == TKeyFileRead::Ok && IsViewerWrittenEntry(current);
  if (read == TKeyFileRead::Ok && !bOurs) return true;
  if (wanted.sExecutable.isEmpty()) return !bOurs || QFile::remove(path);
  const QByteArray text = DesktopEntryText(wanted.sExecutable, wanted.SupportedTypes);
  return current == text || WriteKeyFile(path, text);
}

QList<QByteArray> Without(const QList<QByteArray>& ids, const QByteArray& id) {
  QList<QByteArray> rest;
  for (const QByteArray& x : ids)
    if (x != id) rest << x;
  return rest;
}

// Brings list to what wanted says, using and updating the backups in reg.
// Backups that must be written before the file changes go into reg at once;
// those that may go only after it are returned in drop.
void Reconcile(TMimeAppsList& list, bool bFileExisted, const TDesktopAssociations& wanted, TRegistry& reg,
               QStringList& drop) {
  const QByteArray id = DesktopFileId.toUtf8();
  QStringList types = wanted.SupportedTypes;
  // A type given up since (another MIME database, for one) still has its backup.
  for (const QString& name : reg.GetValueNames())
    if (!name.startsWith(u':') && !types.contains(name)) types << name;

  bool bHoldAny = false;
  for (const QString& type : types) {
    const QByteArray key = type.toUtf8();
    const QList<QByteArray> entries = list.Entries(kDefaults, key);
    const bool bOursFirst = !entries.isEmpty() && entries.first() == id;
    if (wanted.HeldTypes.contains(type)) {
      bHoldAny = true;
      if (bOursFirst) continue;
      // The line as it is now goes back when the viewer gives the type up:
      // a line kept from before is replaced, because a line that no longer
      // starts with the viewer was chosen since, by the user.
      QByteArray lines = list.KeyLines(kDefaults, key).join('\n');
      if (entries.contains(id)) lines = TMimeAppsList::ListLine(key, Without(entries, id));
      // A backup that could not give the same bytes back is no backup.
      if (QString::fromUtf8(lines).toUtf8() != lines) continue;
      reg.WriteString(type, QString::fromUtf8(lines));
      const bool bHadGroup = list.HasGroup(kDefaults);
      list.ReplaceKey(kDefaults, key, {TMimeAppsList::ListLine(key, QList<QByteArray>{id} + Without(entries, id))});
      if (!bHadGroup) {
        reg.WriteBool(kCreatedGroup, true);
        if (list.AddedLineEnd()) reg.WriteBool(kAddedLineEnd, true);
      }
      continue;
    }
    const bool bBackup = reg.ValueExists(type);
    if (bOursFirst && bBackup) {
      const QByteArray lines = reg.ReadString(type).toUtf8();
      if (lines.isEmpty())
        list.RemoveKey(kDefaults, key);
      else
        list.ReplaceKey(kDefaults, key, lines.split('\n'));
    } else if (bBackup && entries.contains(id)) {
      // Changed by someone else since: only the viewer's ID goes. Without a
      // backup the viewer never put itself there: the user chose it in the
      // desktop's settings, and that stays.
      const QList<QByteArray> rest = Without(entries, id);
      if (rest.isEmpty())
        list.RemoveKey(kDefaults, key);
      else
        list.ReplaceKey(kDefaults, key, {TMimeAppsList::ListLine(key, rest)});
    }
    if (bBackup) drop << type;
  }

  // Take back the group and the file the viewer added, once they hold nothing.
  if (reg.ReadBool(kCreatedGroup) && list.HasGroup(kDefaults) && list.IsGroupEmpty(kDefaults)) {
    const bool bLast = list.IsLastGroup(kDefaults);
    list.RemoveGroup(kDefaults);
    if (bLast && reg.ReadBool(kAddedLineEnd)) list.DropFinalLineEnd();
    drop << kCreatedGroup << kAddedLineEnd;
  } else if (!bHoldAny) {
    drop << kCreatedGroup << kAddedLineEnd;
  }
  if (!bFileExisted && !list.IsEmpty()) reg.WriteBool(kCreatedFile, true);
  if (!bHoldAny) drop << kCreatedFile;
}

}  // namespace

QString MimeAppsListPath() { return ConfigHome() + QStringLiteral("/mimeapps.list"); }

QStringList CurrentDesktops() {
  QStringList desktops;
  for (const QString& name : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts)) {
    const QString lower = name.trimmed().toLower();
    // A name is one file-name part; anything else names no list.
    if (!lower.isEmpty() && !lower.contains(u'/') && lower != QLatin1String(".") && lower != QLatin1String("..") &&
        !desktops.contains(lower))
      desktops << lower;
  }
  return desktops;
}

QList<TDesktopOverride> DesktopOverrides(const QStringList& types) {
  QList<TDesktopOverride> overrides;
  const QByteArray id = DesktopFileId.toUtf8();
  for (const QString& desktop : CurrentDesktops()) {
    const QString path = ConfigHome() + u'/' + desktop + QStringLiteral("-mimeapps.list");
    QByteArray bytes;
    if (ReadKeyFile(path, bytes) != TKeyFileRead::Ok) continue;
    const TMimeAppsList list(bytes);
    for (const QString& type : types) {
      const QList<QByteArray> entries = list.Entries(kDefaults, type.toUtf8());
      if (!entries.isEmpty() && entries.first() != id) overrides.append({path, type});
    }
  }
  return overrides;
}

TDesktopSyncResult SyncDesktopAssociations(const std::function<TDesktopAssociations()>& want) {
  TDesktopSyncResult result;
  // The first thing that could not be written is the one reported.
  const auto failed = [&result](const QString& path) {
    if (result.sFailed.isEmpty()) result.sFailed = path;
    return false;
  };
  const QString lockFolder = ConfigHome() + QStringLiteral("/velvane");
  if (!QDir().mkpath(lockFolder)) {
    failed(lockFolder);
    return result;
  }
  QLockFile lock(lockFolder + QStringLiteral("/mimeapps.lock"));
  lock.setStaleLockTime(kStaleLockMs);
  if (!lock.tryLock(kLockTimeoutMs)) {
    if (lock.error() == QLockFile::LockFailedError)
      result.bLockBusy = true;
    else
      failed(lockFolder);
    return result;
  }
  const TDesktopAssociations wanted = want();
  const bool bHeld = !wanted.sExecutable.isEmpty();
  TRegistry reg;
  if (!reg.OpenKey(MimeAppsBackupKey, true)) {
    failed(TRegistryFile::DefaultPath());
    return result;
  }

  // The types exist, and the entry too, before any default names them; they
  // go after the last default.
  bool bMimeChanged = false;
  QString packageFailure;
  bool bPackage = !bHeld || SyncUserMimePackage(wanted.sMimePackage, true, reg, packageFailure, bMimeChanged) ||
                  failed(packageFailure);
  bool bEntry = !bHeld || SyncDesktopEntry(wanted) || failed(UserDesktopEntryPath());

  const QString path = MimeAppsListPath();
  QByteArray before;
  const TKeyFileRead read = ReadKeyFile(path, before);
  bool bList = false;
  // Defaults never name an entry that could not be written.
  if (bEntry && read == TKeyFileRead::Unusable) {
    failed(path);
  } else if (bEntry) {
    TMimeAppsList list(before);
    QStringList drop;
    Reconcile(list, read == TKeyFileRead::Ok, wanted, reg, drop);
    // The backups reach the disk before the file changes.
    if (!reg.Flush()) {
      failed(TRegistryFile::DefaultPath());
    } else {
      const QByteArray after = list.Bytes();
      bool bWritten = true;
      if (read == TKeyFileRead::Ok && list.IsEmpty() && reg.ReadBool(kCreatedFile))
        bWritten = QFile::remove(path);
      else if (after != before)
        bWritten = WriteKeyFile(path, after);
      if (!bWritten) {
        failed(path);
      } else {
        for (const QString& name : drop) reg.DeleteValue(name);
        bList = reg.Flush() || failed(TRegistryFile::DefaultPath());
      }
    }
  }

  if (!bHeld) {
    bEntry = SyncDesktopEntry(wanted) || failed(UserDesktopEntryPath());
    bPackage = (SyncUserMimePackage(wanted.sMimePackage, false, reg, packageFailure, bMimeChanged) ||
                failed(packageFailure)) &&
               (reg.Flush() || failed(TRegistryFile::DefaultPath()));
  }
  if (bMimeChanged) UpdateUserMimeDatabase();
  result.bDone = bPackage && bEntry && bList;
  result.Overrides = DesktopOverrides(wanted.HeldTypes);
  return result;
}

void RunDesktopTool(const QString& program, QStringList args, const QString& folder) {
  const QString tool = QStandardPaths::findExecutable(program);
  if (tool.isEmpty() || !QFileInfo(folder).isDir()) return;
  QProcess process;
  // The viewer writes no log: what the tool says goes nowhere.
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.start(tool, args << folder);
  if (!process.waitForStarted(kToolTimeoutMs)) return;
  if (!process.waitForFinished(kToolTimeoutMs)) {
    process.kill();
    process.waitForFinished(1000);
  }
}

void RefreshDesktopCaches() {
  RunDesktopTool(QStringLiteral("update-desktop-database"), {QStringLiteral("-q")}, UserApplicationsFolder());
}
