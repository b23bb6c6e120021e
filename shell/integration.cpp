#include "shell/integration.h"

#include "folder/formats.h"
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

void Uninstall() {
  for (const ftype& format : SupportedFormats) RestoreFormat(QString(format.name));
  SendAssociationNotice();
}

void ApplyAssociations(const std::vector<std::pair<QString, bool>>& choices) {
  for (const auto& [name, bChecked] : choices) {
    if (bChecked)
      AssociateFormat(name);
    else
      RestoreFormat(name);
  }
  SendAssociationNotice();
}

QString IntegrationNoticeText(const QString& desktopName, const QString& listPath,
                              const QList<TDesktopOverride>& overrides) {
  const QString where = desktopName.isEmpty() ? QStringLiteral("this desktop") : desktopName;
  QString text = QStringLiteral("OK makes this viewer the default application of the checked formats on %1 "
                                "(in %2) and gives the unchecked ones back to the applications they had. "
                                "Cancel changes nothing.")
                     .arg(where, HomeRelative(listPath));
  QStringList files;
  for (const TDesktopOverride& o : overrides)
    if (!files.contains(o.sFile)) files << o.sFile;
  for (const QString& file : files) {
    QStringList types;
    for (const TDesktopOverride& o : overrides)
      if (o.sFile == file) types << o.sType;
    // A long list would not fit the note: a few types and the count of the rest.
    constexpr int kNamed = 3;
    QString named = QStringList(types.mid(0, kNamed)).join(QStringLiteral(", "));
    if (types.size() > kNamed) named += QStringLiteral(" and %1 more types").arg(types.size() - kNamed);
    text += QStringLiteral(" %1 keeps its own default for %2, which wins over this choice.")
                .arg(HomeRelative(file), named);
  }
  return text;
}

QString CurrentIntegrationNoticeText() {
  const TMimePackage package = TMimePackage::Load(MimePackagePath(ApplicationDir()));
  const TDesktopAssociations state = DesktopStateFromRegistry(package);
  const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts).value(0);
  return IntegrationNoticeText(desktop, MimeAppsListPath(), DesktopOverrides(state.SupportedTypes));
}
