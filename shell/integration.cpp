#include "shell/integration.h"

#include "folder/extra_formats.h"
#include "platform/desktop_defaults.h"
#include "platform/desktop_entry.h"
#include "platform/registry_file.h"
#include "shell/association_notice.h"
#include "shell/association_store.h"

#include <QDir>

namespace {

// A path as the user knows it: the home folder as "~".
QString HomeRelative(const QString& path) {
  const QString home = QDir::homePath();
  if (!home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + u'/'))
    return u'~' + path.mid(home.size());
  return path;
}

}  // namespace

std::vector<bool> FormatsOpenedByViewer() {
  const TMimePackage package = TMimePackage::Load(MimePackagePath(ApplicationDir()));
  std::vector<QStringList> types;
  QStringList all;
  for (const ftype& format : ListedFormats()) {
    types.push_back(FormatMimeTypes(format, package));
    for (const QString& type : types.back())
      if (!all.contains(type)) all << type;
  }
  const QHash<QString, QString> defaults = DesktopDefaults(all);
  std::vector<bool> opened;
  for (std::size_t row = 0; row < ListedFormats().size(); ++row) {
    bool bOpened = IsFormatAssociated(QString(ListedFormats()[row].name));
    for (const QString& type : types[row]) bOpened = bOpened && defaults.value(type) == DesktopFileId;
    opened.push_back(bOpened);
  }
  return opened;
}

QString Uninstall() {
  bool bRegistry = true;
  for (const ftype& format : ListedFormats()) bRegistry = RestoreFormat(QString(format.name)) && bRegistry;
  return AssociationsFailureText(bRegistry, SendAssociationNotice());
}

QString ApplyAssociations(const std::vector<std::pair<QString, bool>>& choices) {
  bool bRegistry = true;
  for (const auto& [name, bChecked] : choices)
    bRegistry = (bChecked ? AssociateFormat(name) : RestoreFormat(name)) && bRegistry;
  return AssociationsFailureText(bRegistry, SendAssociationNotice());
}

QString AssociationsFailureText(bool bRegistry, const TDesktopSyncResult& notice) {
  if (bRegistry && notice.bDone) return {};
  if (!bRegistry || !notice.sFailed.isEmpty()) {
    const QString path = bRegistry ? notice.sFailed : TRegistryFile::DefaultPath();
    return QStringLiteral("The file associations could not be saved: %1 could not be written.")
        .arg(HomeRelative(QDir::cleanPath(path)));
  }
  return QStringLiteral(
      "The file associations could not be saved: another viewer kept them locked. "
      "Try again in a moment.");
}

QString IntegrationNoticeText(const QString& desktopName, const QString& listPath,
                              const QList<TDesktopOverride>& overrides) {
  const QString where = desktopName.isEmpty() ? QStringLiteral("this desktop") : desktopName;
  if (overrides.isEmpty()) {
    return QStringLiteral(
               "OK: the checked formats open with this viewer on %1, the unchecked ones go back to "
               "their previous applications (%2). Cancel changes nothing.")
        .arg(where, HomeRelative(listPath));
  }
  // The note has room for one list and a few of its types.
  constexpr int kNamed = 2;
  const QString file = overrides.first().sFile;
  QStringList types;
  for (const TDesktopOverride& o : overrides)
    if (o.sFile == file) types << o.sType;
  QString named = QStringList(types.mid(0, kNamed)).join(QStringLiteral(", "));
  if (types.size() > kNamed) named += QStringLiteral(" and %1 more types").arg(types.size() - kNamed);
  return QStringLiteral(
             "OK: the checked formats open with this viewer on %1, except where %2 keeps its own "
             "default (%3). Cancel changes nothing.")
      .arg(where, HomeRelative(file), named);
}

QString CurrentIntegrationNoticeText() {
  const TMimePackage package = TMimePackage::Load(MimePackagePath(ApplicationDir()));
  const TDesktopAssociations state = DesktopStateFromRegistry(package);
  const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts).value(0);
  return IntegrationNoticeText(desktop, MimeAppsListPath(), DesktopOverrides(state.SupportedTypes));
}
