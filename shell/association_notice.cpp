#include "shell/association_notice.h"

#include "shell/association_store.h"

#include <QHash>

TDesktopAssociations DesktopStateFromRegistry(const TMimePackage& package) {
  TDesktopAssociations state;
  QHash<QString, bool> bAllAssociated;  // type -> every extension that has it is associated
  QHash<QString, bool> bTested;         // lower-case extension -> associated
  for (const ftype& format : SupportedFormats) {
    for (const QString& ext : QString(format.Ext).split(u' ', Qt::SkipEmptyParts)) {
      const QString lower = ext.toLower();
      if (!bTested.contains(lower)) bTested.insert(lower, IsExtensionAssociated(ext));
      for (const QString& type : MimeTypesForExtension(lower, package)) {
        if (!state.SupportedTypes.contains(type)) {
          state.SupportedTypes << type;
          bAllAssociated.insert(type, true);
        }
        if (!bTested.value(lower)) bAllAssociated[type] = false;
      }
    }
  }
  for (const QString& type : state.SupportedTypes)
    if (bAllAssociated.value(type)) state.HeldTypes << type;
  state.sExecutable = AssociatedExecutable();
  return state;
}

TDesktopSyncResult NotifyAssociationsChanged() {
  const TMimePackage package = TMimePackage::Load(MimePackagePath(ApplicationDir()));
  const TDesktopSyncResult result = SyncDesktopAssociations([&package] { return DesktopStateFromRegistry(package); });
  RefreshDesktopCaches();
  return result;
}

std::function<void()>& AssociationNoticeHook() {
  static std::function<void()> hook;
  return hook;
}

void SendAssociationNotice() {
  if (AssociationNoticeHook())
    AssociationNoticeHook()();
  else
    NotifyAssociationsChanged();
}
