#include "app/desktop_identity.h"

#include "platform/data_folder.h"
#include "platform/desktop_entry.h"

#include <QApplication>
#include <QFileInfo>

QIcon ApplicationIcon(const QString& appDir) {
  QIcon shipped;
  for (const int size : ApplicationIconSizes) {
    const QString file = DataFolder(appDir) + QStringLiteral("res/icons/%1-%2.png").arg(ApplicationId).arg(size);
    if (QFileInfo(file).isFile()) shipped.addFile(file, QSize(size, size));
  }
  return QIcon::fromTheme(ApplicationId, shipped);
}

void SetDesktopFileName() { QGuiApplication::setDesktopFileName(ApplicationId); }

void SetApplicationIcon(const QString& appDir) { QApplication::setWindowIcon(ApplicationIcon(appDir)); }

void SetDesktopIdentity(const QString& appDir) {
  SetDesktopFileName();
  SetApplicationIcon(appDir);
}
