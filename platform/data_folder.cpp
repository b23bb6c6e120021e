#include "platform/data_folder.h"

#include <QDir>
#include <QFileInfo>

QString DataFolder(const QString& appDir) {
  const QFileInfo installed(appDir + QStringLiteral("../share/velvane"));
  if (installed.isDir()) return QDir::cleanPath(installed.absoluteFilePath()) + u'/';
  return appDir;
}

QString HelpPagePath(const QString& appDir) { return DataFolder(appDir) + QStringLiteral("res/help/index.html"); }
