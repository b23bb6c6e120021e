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

void SetDesktopIdentity(const QString& appDir) {
  QGuiApplication::setDesktopFileName(ApplicationId);
  QApplication::setWindowIcon(ApplicationIcon(appDir));
}
