#include "shell/association_notice.h"

#include "shell/association_store.h"

#include <QHash>
#include <QMimeDatabase>

namespace {

// The types of one extension of format: the database's (or our package's),
// and for an extra format the aliases of those that its row declares
// (image/heic beside image/heif), which desktop entries name too.
QStringList ExtensionTypes(const ftype& format, const QString& ext, const TMimePackage& package) {
  QStringList types = MimeTypesForExtension(ext.toLower(), package);
  const TExtraFormat* extra = FindExtraFormat(QString(format.name));
  if (!extra || types.isEmpty()) return types;
  const QMimeDatabase db;
  for (const QString& declared : QString(extra->MimeTypes).split(u' ', Qt::SkipEmptyParts))
    if (!types.contains(declared) && types.contains(db.mimeTypeForName(declared).name())) types << declared;
  return types;
}

// Calls visit(extension, type) for every type of every extension of the
// listed formats, in table order.
template <typename Visit>
void ForEachExtensionType(const TMimePackage& package, Visit visit) {
  for (const ftype& format : ListedFormats())
    for (const QString& ext : QString(format.Ext).split(u' ', Qt::SkipEmptyParts))
      for (const QString& type : ExtensionTypes(format, ext, package)) visit(ext, type);
}

}  // namespace

QStringList FormatMimeTypes(const ftype& format, const TMimePackage& package) {
  QStringList types;
  for (const QString& ext : QString(format.Ext).split(u' ', Qt::SkipEmptyParts))
    for (const QString& type : ExtensionTypes(format, ext, package))
      if (!types.contains(type)) types << type;
  return types;
}

QStringList SupportedMimeTypes(const TMimePackage& package) {
  QStringList types;
  ForEachExtensionType(package, [&types](const QString&, const QString& type) {
    if (!types.contains(type)) types << type;
  });
  return types;
}

TDesktopAssociations DesktopStateFromRegistry(const TMimePackage& package) {
  TDesktopAssociations state;
  state.SupportedTypes = SupportedMimeTypes(package);
  QHash<QString, bool> bAllAssociated;  // type -> every extension that has it is associated
  QHash<QString, bool> bTested;         // lower-case extension -> associated
  ForEachExtensionType(package, [&](const QString& ext, const QString& type) {
    const QString lower = ext.toLower();
    if (!bTested.contains(lower)) bTested.insert(lower, IsExtensionAssociated(ext));
    if (!bAllAssociated.contains(type)) bAllAssociated.insert(type, true);
    if (!bTested.value(lower)) bAllAssociated[type] = false;
  });
  for (const QString& type : state.SupportedTypes)
    if (bAllAssociated.value(type)) state.HeldTypes << type;
  state.sExecutable = AssociatedExecutable();
  return state;
}

TDesktopSyncResult NotifyAssociationsChanged() {
  const QString packagePath = MimePackagePath(ApplicationDir());
  const TMimePackage package = TMimePackage::Load(packagePath);
  const TDesktopSyncResult result = SyncDesktopAssociations([&package, &packagePath] {
    TDesktopAssociations state = DesktopStateFromRegistry(package);
    state.sMimePackage = packagePath;
    return state;
  });
  RefreshDesktopCaches();
  return result;
}

std::function<void()>& AssociationNoticeHook() {
  static std::function<void()> hook;
  return hook;
}

TDesktopSyncResult SendAssociationNotice() {
  if (!AssociationNoticeHook()) return NotifyAssociationsChanged();
  AssociationNoticeHook()();
  TDesktopSyncResult done;
  done.bDone = true;
  return done;
}
