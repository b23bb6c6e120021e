#include "platform/mime_types.h"

#include "platform/data_folder.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

// Packages are a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxPackageSize = 4 * 1024 * 1024;

}  // namespace

TMimePackage TMimePackage::Load(const QString& path) {
  TMimePackage package;
  const QFileInfo info(path);
  if (!info.isFile() || info.size() > kMaxPackageSize) return package;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return package;

  QHash<QString, QStringList> types;
  QXmlStreamReader xml(&file);
  QString current;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      if (xml.name() == QLatin1String("mime-type")) {
        current = xml.attributes().value(QLatin1String("type")).toString().trimmed().toLower();
      } else if (xml.name() == QLatin1String("glob") && !current.isEmpty()) {
        const QString pattern = xml.attributes().value(QLatin1String("pattern")).toString();
        // Only plain extension globs ("*.ext") say anything about an extension.
        if (pattern.startsWith(QLatin1String("*.")) && pattern.size() > 2 &&
            !pattern.mid(2).contains(QRegularExpression(QStringLiteral("[*?\\[\\]]")))) {
          QStringList& list = types[pattern.mid(2).toLower()];
          if (!list.contains(current)) list << current;
        }
      }
    } else if (xml.isEndElement() && xml.name() == QLatin1String("mime-type")) {
      current.clear();
    }
  }
  if (xml.hasError()) return package;  // read completely or not at all
  package.FTypesByExtension = std::move(types);
  return package;
}

QStringList TMimePackage::TypesForExtension(const QString& extension) const {
  return FTypesByExtension.value(extension.toLower());
}

QString MimePackagePath(const QString& appDir) {
  return DataFolder(appDir) + QStringLiteral("res/mime/org.norquill.Velvane.xml");
}

QStringList MimeTypesForExtension(const QString& extension, const TMimePackage& package) {
  if (extension.isEmpty()) return {};
  QStringList result;
  const QMimeDatabase db;
  for (const QMimeType& type : db.mimeTypesForFileName(QStringLiteral("x.") + extension.toLower())) {
    if (type.isDefault() || result.contains(type.name())) continue;
    result << type.name();
  }
  if (result.isEmpty()) result = package.TypesForExtension(extension);
  return result;
}
