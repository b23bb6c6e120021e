#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A temporary folder that tests fill with their own files.
class TempFolder {
public:
  TempFolder() = default;
  bool IsValid() const { return FDir.isValid(); }
  // The folder with a trailing '/'.
  QString Path() const { return FDir.path() + '/'; }
  QString File(const QString& name) const { return Path() + name; }
  // Writes bytes to name (creating sub-folders) and returns the full path.
  QString Write(const QString& name, const QByteArray& bytes) const {
    const QString path = File(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return path;
  }

private:
  QTemporaryDir FDir;
};
