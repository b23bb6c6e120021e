#pragma once

// The MIME types of file extensions, as the desktop sees them: the shared MIME
// database first, then the MIME package that ships with the viewer for the
// extensions the database of this system does not know.

#include <QHash>
#include <QString>
#include <QStringList>

// A shared-MIME-info package (the XML of a file in share/mime/packages), read
// directly so that lookups work before the package is installed.
class TMimePackage {
public:
  // A missing, unreadable or malformed file gives an empty package.
  static TMimePackage Load(const QString& path);

  // The types whose "*.ext" glob names extension (without the dot, any case).
  QStringList TypesForExtension(const QString& extension) const;
  bool IsEmpty() const { return FTypesByExtension.isEmpty(); }

private:
  QHash<QString, QStringList> FTypesByExtension;  // lower-case extension -> types
};

// "res/mime/org.norquill.Velvane.xml" in the data folder of the executable's
// folder appDir (a folder with a trailing '/', see DataFolder).
QString MimePackagePath(const QString& appDir);

// The canonical types the database gives to a file named "x.extension"; when it
// knows none, the package's types.
QStringList MimeTypesForExtension(const QString& extension, const TMimePackage& package);
