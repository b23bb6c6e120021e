#include "platform/user_mime_package.h"

#include "platform/desktop_associations.h"
#include "platform/mimeapps_list.h"
#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Flags beside the association backups (no MIME type begins with ':').
const QString kInstalledPackage = QStringLiteral(":installed-mime-package");
const QString kCreatedMimeFolder = QStringLiteral(":created-mime-folder");

}  // namespace

QString UserMimeFolder() {
  QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
  return data + QStringLiteral("/mime");
}

bool IsMimePackageKnown(const QString& fileName) {
  for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
    if (QFileInfo(data + QStringLiteral("/mime/packages/") + fileName).isFile()) return true;
  return false;
}

bool SyncUserMimePackage(const QString& package, bool bWanted, TRegistry& reg, QString& failed, bool& bChanged) {
  bChanged = false;
  const QString name = QFileInfo(package).fileName();
  const QString folder = UserMimeFolder();
  const QString installed = folder + QStringLiteral("/packages/") + name;
  const bool bOurs = reg.ReadBool(kInstalledPackage);

  if (bWanted) {
    if (name.isEmpty() || (!bOurs && IsMimePackageKnown(name))) return true;
    QByteArray bytes;
    QByteArray current;
    if (ReadKeyFile(package, bytes) != TKeyFileRead::Ok) return true;  // nothing shipped to install
    if (bOurs && ReadKeyFile(installed, current) == TKeyFileRead::Ok && current == bytes) return true;
    if (!bOurs) {
      // Flagged first: a copy the viewer put there is always known as its own.
      reg.WriteBool(kInstalledPackage, true);
      if (!QFileInfo::exists(folder)) reg.WriteBool(kCreatedMimeFolder, true);
      if (!reg.Flush()) {
        failed = TRegistryFile::DefaultPath();
        return false;
      }
    }
    if (!WriteKeyFile(installed, bytes)) {
      failed = installed;
      return false;
    }
    bChanged = true;
    return true;
  }

  if (!bOurs) return true;
  const QFileInfo copy(installed);
  if ((copy.exists() || copy.isSymLink()) && !QFile::remove(installed)) {
    failed = installed;
    return false;
  }
  bChanged = true;
  // A database folder the viewer made, with no other package in it, goes too.
  if (reg.ReadBool(kCreatedMimeFolder) && !QFileInfo(folder).isSymLink() &&
      QDir(folder + QStringLiteral("/packages")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) &&
      QDir(folder).removeRecursively())
    bChanged = false;
  reg.DeleteValue(kInstalledPackage);
  reg.DeleteValue(kCreatedMimeFolder);
  return true;
}

void UpdateUserMimeDatabase() { RunDesktopTool(QStringLiteral("update-mime-database"), {}, UserMimeFolder()); }
