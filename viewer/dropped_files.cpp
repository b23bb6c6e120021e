#include "viewer/dropped_files.h"

#include <QDir>

namespace {

QString LocalPath(QUrl url) {
  if (!url.isLocalFile()) return {};
  if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) url.setHost(QString());
  if (!url.host().isEmpty()) return {};
  const QString path = url.toLocalFile();
  return QDir::isAbsolutePath(path) ? path : QString();
}

}  // namespace

QString FirstDroppedFile(const QList<QUrl>& urls) {
  for (const QUrl& url : urls)
    if (QString path = LocalPath(url); !path.isEmpty()) return path;
  return {};
}
