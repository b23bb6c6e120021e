#include "platform/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The base of the home trash, as QFile::moveToTrash finds it.
QString DataHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }

bool StatPath(const QString& path, struct stat& st) { return ::stat(QFile::encodeName(path).constData(), &st) == 0; }

bool Writable(const QString& folder) { return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0; }

// folder, or the place it would be created in, is a writable folder on device.
bool UsableOn(const QString& folder, dev_t device) {
  QString existing = QDir::cleanPath(folder);
  while (!QFileInfo::exists(existing) && !QFileInfo(existing).isSymLink()) {
    const QString parent = QFileInfo(existing).path();
    if (parent == existing) return false;
    existing = parent;
  }
  struct stat st {};
  return StatPath(existing, st) && S_ISDIR(st.st_mode) && st.st_dev == device && Writable(existing);
}

// A top-directory trash: a real folder (no link) or a name still free.
bool RealFolderOrFree(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink()) return false;
  return !info.exists() || info.isDir();
}

QString UserId() { return QString::number(::getuid()); }

QString HomeTrash() {
  const QString data = DataHome();
  return QDir::isAbsolutePath(data) ? QDir::cleanPath(data + QStringLiteral("/Trash")) : QString();
}

bool OnHomeFileSystem(const QString& folder) { return QStorageInfo(folder) == QStorageInfo(QDir::homePath()); }

// Every folder that may be the trash of a file in folder.
QStringList TrashCandidates(const QString& folder) {
  QStringList candidates;
  if (!HomeTrash().isEmpty()) candidates << HomeTrash();
  const QString top = QStorageInfo(folder).rootPath();
  if (!top.isEmpty()) {
    candidates << QDir::cleanPath(top + QStringLiteral("/.Trash/") + UserId())
               << QDir::cleanPath(top + QStringLiteral("/.Trash-") + UserId());
  }
  return candidates;
}

}  // namespace

bool IsInTrashFolderOf(const QString& trashedPath, const QString& oldFolder) {
  if (!QDir::isAbsolutePath(trashedPath)) return false;
  const QFileInfo trashed(trashedPath);
  const QDir files = trashed.absoluteDir();
  if (files.dirName() != QLatin1String("files")) return false;
  const QString trash = QFileInfo(files.absolutePath()).canonicalPath();
  if (!QFileInfo::exists(trash + QStringLiteral("/info/") + trashed.fileName() + QStringLiteral(".trashinfo")))
    return false;
  for (const QString& candidate : TrashCandidates(oldFolder))
    if (QFileInfo(candidate).canonicalFilePath() == trash) return true;
  return false;
}

namespace {

// Creates the missing folders of path, each 0700, as freedesktop.org's base
// directories must be.
bool MakePrivatePath(const QString& path) {
  const QString clean = QDir::cleanPath(path);
  if (QFileInfo(clean).isDir()) return true;
  const QString parent = QFileInfo(clean).path();
  if (parent == clean || !MakePrivatePath(parent)) return false;
  return QDir(parent).mkdir(QFileInfo(clean).fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
         QFileInfo(clean).isDir();
}

TDeleteResult Failed(const QString& why) { return TDeleteResult{false, why}; }

QString TrashInfoPath(const QString& trashedPath) {
  const QFileInfo trashed(trashedPath);
  return trashed.absolutePath() + QStringLiteral("/../info/") + trashed.fileName() + QStringLiteral(".trashinfo");
}

// The Path key holds the original path URL-escaped, which Qt 6.4 leaves out:
// a name with '%' or a space could not be restored by a file manager.
void EscapeTrashInfoPath(const QString& infoPath, const QString& original) {
  QFile in(infoPath);
  if (!in.open(QIODevice::ReadOnly)) return;
  QList<QByteArray> lines = in.readAll().split('\n');
  in.close();
  const QByteArray path = "Path=" + QUrl::toPercentEncoding(QFile::encodeName(original), "/");
  bool bChanged = false;
  for (QByteArray& line : lines) {
    if (line.startsWith("Path=") && line != path) {
      line = path;
      bChanged = true;
    }
  }
  if (!bChanged) return;
  QSaveFile out(infoPath);
  if (out.open(QIODevice::WriteOnly) && out.write(lines.join('\n')) >= 0) out.commit();
}

}  // namespace

QString TrashFolderFor(const QString& path) {
  const QFileInfo file(path);
  const QString folder = file.absolutePath();
  struct stat st {};
  if (!StatPath(folder, st)) return {};
  const dev_t device = st.st_dev;

  if (OnHomeFileSystem(folder)) {
    const QString trash = HomeTrash();
    return !trash.isEmpty() && UsableOn(trash, device) ? trash : QString();
  }
  const QString top = QStorageInfo(folder).rootPath();
  if (top.isEmpty()) return {};
  const QFileInfo dotTrash(top + QStringLiteral("/.Trash"));
  struct stat dotSt {};
  if (!dotTrash.isSymLink() && StatPath(dotTrash.filePath(), dotSt) && S_ISDIR(dotSt.st_mode) &&
      (dotSt.st_mode & S_ISVTX)) {
    const QString user = QDir::cleanPath(dotTrash.filePath() + u'/' + UserId());
    if (RealFolderOrFree(user) && UsableOn(user, device)) return user;
  }
  const QString user = QDir::cleanPath(top + QStringLiteral("/.Trash-") + UserId());
  if (RealFolderOrFree(user) && UsableOn(user, device)) return user;
  return {};
}

QString WhyNotRemovable(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return QStringLiteral("the file is gone");
  const QString folder = info.absolutePath();
  // With the ids the rename or removal itself will run with.
  if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0) return {};
  if (errno == EROFS) return QStringLiteral("its folder is on a read-only file system");
  if (errno == EACCES || errno == EPERM) return QStringLiteral("you may not change its folder %1").arg(folder);
  return QStringLiteral("its folder %1 cannot be changed (%2)")
      .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
}

TDeleteResult MoveToTrash(const QString& path) {
  const QFileInfo info(path);
  const QString original = info.absoluteFilePath();
  const QString folder = info.absolutePath();
  if (!info.exists() && !info.isSymLink()) return Failed(QStringLiteral("the file is gone"));
  const QString trash = TrashFolderFor(original);
  if (trash.isEmpty()) return Failed(QStringLiteral("there is no Trash for it"));
  // Without the data folder, QFile::moveToTrash takes the current folder for the trash.
  if (trash == HomeTrash() && !MakePrivatePath(DataHome()))
    return Failed(QStringLiteral("the data folder %1 cannot be created").arg(DataHome()));

  QFile file(original);
  if (!file.moveToTrash()) return Failed(file.errorString());
  const QString trashed = file.fileName();
  if (IsInTrashFolderOf(trashed, folder)) {
    EscapeTrashInfoPath(TrashInfoPath(trashed), original);
    return {true, {}};
  }

  // Somewhere that is not a trash: back where it was.
  const QString where = QFileInfo(trashed).absoluteFilePath();
  const QString bogusTrash = QFileInfo(where).absolutePath() + QStringLiteral("/..");
  if (!QFile::rename(where, original))
    return Failed(QStringLiteral("it was moved to %1 instead of a Trash").arg(where));
  QFile::remove(TrashInfoPath(where));
  QDir(bogusTrash).rmdir(QStringLiteral("files"));  // only when empty
  QDir(bogusTrash).rmdir(QStringLiteral("info"));
  return Failed(QStringLiteral("it could not be moved into a Trash folder"));
}

TDeleteResult DeletePermanently(const QString& path) {
  QFile file(path);
  if (!file.remove()) return Failed(file.errorString());
  return {true, {}};
}
