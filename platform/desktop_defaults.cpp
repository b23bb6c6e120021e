#include "platform/desktop_defaults.h"

#include "platform/desktop_associations.h"
#include "platform/mimeapps_list.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QByteArray kDefaults = "Default Applications";

// The first desktop file ID of key's first line in group; empty when none.
QByteArray FirstEntry(const TMimeAppsList& list, const QByteArray& group, const QByteArray& key) {
  const QList<QByteArray> lines = list.KeyLines(group, key);
  if (lines.isEmpty()) return {};
  const QByteArray& line = lines.first();
  return line.mid(line.indexOf('=') + 1).split(';').first().trimmed();
}

QStringList Folders(QStandardPaths::StandardLocation location) {
  QStringList folders;
  for (const QString& folder : QStandardPaths::standardLocations(location))
    if (!folder.isEmpty() && !folders.contains(folder)) folders << folder;
  return folders;
}

}  // namespace

QStringList MimeAppsListsInOrder() {
  QStringList folders = Folders(QStandardPaths::GenericConfigLocation);
  for (const QString& data : Folders(QStandardPaths::GenericDataLocation))
    folders << data + QStringLiteral("/applications");
  QStringList lists;
  for (const QString& folder : folders) {
    for (const QString& desktop : CurrentDesktops())
      lists << folder + u'/' + desktop + QStringLiteral("-mimeapps.list");
    lists << folder + QStringLiteral("/mimeapps.list");
  }
  return lists;
}

bool IsDesktopEntryInstalled(const QString& desktopId) {
  if (desktopId.isEmpty() || desktopId.startsWith(u'.') || desktopId.contains(u'/')) return false;
  for (const QString& data : Folders(QStandardPaths::GenericDataLocation)) {
    const QString applications = data + QStringLiteral("/applications/");
    if (QFileInfo(applications + desktopId).isFile()) return true;
    // An ID names its sub-folders with '-' in place of '/'.
    for (qsizetype dash = desktopId.indexOf(u'-'); dash > 0; dash = desktopId.indexOf(u'-', dash + 1)) {
      QString relative = desktopId;
      relative[dash] = u'/';
      if (QFileInfo(applications + relative).isFile()) return true;
    }
  }
  return false;
}

QHash<QString, QString> DesktopDefaults(const QStringList& types) {
  QHash<QString, QString> defaults;
  QStringList open = types;
  const auto settle = [&](const TMimeAppsList& list, const QByteArray& group, bool bMustBeInstalled) {
    for (qsizetype i = open.size() - 1; i >= 0; --i) {
      const QString id = QString::fromUtf8(FirstEntry(list, group, open[i].toUtf8()));
      if (id.isEmpty() || (bMustBeInstalled && !IsDesktopEntryInstalled(id))) continue;
      defaults.insert(open[i], id);
      open.removeAt(i);
    }
  };
  for (const QString& path : MimeAppsListsInOrder()) {
    QByteArray bytes;
    if (open.isEmpty()) break;
    if (ReadKeyFile(path, bytes) == TKeyFileRead::Ok) settle(TMimeAppsList(bytes), kDefaults, true);
  }
  // What the installed entries declare, when no list names a default.
  for (const QString& data : Folders(QStandardPaths::GenericDataLocation)) {
    for (const char* name : {"defaults.list", "mimeinfo.cache"}) {
      QByteArray bytes;
      if (open.isEmpty()) break;
      const QString path = data + QStringLiteral("/applications/") + QLatin1String(name);
      if (ReadKeyFile(path, bytes) != TKeyFileRead::Ok) continue;
      settle(TMimeAppsList(bytes), name == QLatin1String("defaults.list") ? kDefaults : "MIME Cache", false);
    }
  }
  return defaults;
}

bool CanShowWebPages() {
  if (!qEnvironmentVariableIsEmpty("BROWSER")) return true;
  for (const char* command :
       {"x-www-browser", "www-browser", "firefox", "firefox-esr", "chromium", "chromium-browser", "google-chrome",
        "epiphany", "konqueror", "falkon", "qutebrowser", "midori", "links2", "elinks", "links", "lynx", "w3m"})
    if (!QStandardPaths::findExecutable(QLatin1String(command)).isEmpty()) return true;
  const QString type = QStringLiteral("text/html");
  if (!DesktopDefaults({type}).isEmpty()) return true;
  // Entries that declare the type, for desktops whose caches were never built.
  for (const QString& data : Folders(QStandardPaths::GenericDataLocation)) {
    QDirIterator entries(data + QStringLiteral("/applications"), {QStringLiteral("*.desktop")}, QDir::Files,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
      QByteArray bytes;
      if (ReadKeyFile(entries.next(), bytes) != TKeyFileRead::Ok) continue;
      const TMimeAppsList entry(bytes);
      for (const QByteArray& line : entry.KeyLines("Desktop Entry", "MimeType"))
        for (const QByteArray& declared : line.mid(line.indexOf('=') + 1).split(';'))
          if (declared.trimmed() == type.toUtf8()) return true;
    }
  }
  return false;
}
