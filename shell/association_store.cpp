#include "shell/association_store.h"

#include "platform/data_folder.h"
#include "platform/registry.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QString kClasses = QStringLiteral("\\SOFTWARE\\Classes\\");
const QString kOpenCommand = QStringLiteral("\\shell\\open\\command");

QStringList Extensions(const ftype& format) { return QString(format.Ext).split(u' ', Qt::SkipEmptyParts); }

// Drops characters of code 32 and below at both ends.
QString TrimControl(const QString& s) {
  qsizetype begin = 0, end = s.size();
  while (begin < end && s[begin].unicode() <= 32) ++begin;
  while (end > begin && s[end - 1].unicode() <= 32) --end;
  return s.mid(begin, end - begin);
}

// Only A to Z change, as in the association test.
QString AsciiLower(QString s) {
  for (QChar& c : s)
    if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
  return s;
}

}  // namespace

std::function<QString()>& ApplicationExeNameHook() {
  static std::function<QString()> hook;
  return hook;
}

QString ApplicationExeName() {
  if (ApplicationExeNameHook()) return ApplicationExeNameHook()();
  return QCoreApplication::applicationFilePath();
}

QString ApplicationDir() { return QFileInfo(ApplicationExeName()).absolutePath() + u'/'; }

QString OpenCommandExecutable(const QString& command) {
  QString p = TrimControl(command);
  if (p.startsWith(u'"')) {
    p.remove(0, 1);
    const qsizetype quote = p.indexOf(u'"');
    if (quote >= 0) p.truncate(quote);
    p = TrimControl(p);
  } else {
    const qsizetype space = p.indexOf(u' ');
    if (space >= 0) p.truncate(space);
  }
  return p;
}

QString OpenCommand(const QString& exe) { return u'"' + exe + QStringLiteral("\" \"%1\""); }

QString FormatIconPath(const QString& dataDir, const QString& name) {
  const QString own = dataDir + QStringLiteral("res/icons/") + name + QStringLiteral(".ico");
  if (QFileInfo(own).isFile()) return own;
  return dataDir + QStringLiteral("res/icons/OTHER.ico");
}

bool IsExtensionAssociated(const QString& extension) {
  TRegistry reg;
  if (!reg.OpenKey(kClasses + u'.' + extension, false)) return false;
  const QString className = reg.ReadString(QString());
  if (className.isEmpty()) return false;
  if (!reg.OpenKey(kClasses + className + kOpenCommand, false)) return false;
  const QString exe = OpenCommandExecutable(reg.ReadString(QString()));
  return !exe.isEmpty() && AsciiLower(exe).contains(QLatin1String("velvane"));
}

bool IsFormatAssociated(const QString& name) {
  const ftype format = FindListedFormat(name);
  if (format.name.isEmpty()) return false;
  for (const QString& ext : Extensions(format))
    if (!IsExtensionAssociated(ext)) return false;
  return true;
}

bool AssociateFormat(const QString& name) {
  const ftype format = FindListedFormat(name);
  if (format.name.isEmpty()) return true;
  const QString exe = ApplicationExeName();
  const QString command = OpenCommand(exe);
  const QString icon = FormatIconPath(DataFolder(QFileInfo(exe).absolutePath() + u'/'), name);
  const QString className = ClassNamePrefix + name;

  TRegistry reg;
  for (const QString& ext : Extensions(format)) {
    if (!reg.OpenKey(kClasses + u'.' + ext, true)) continue;
    const QString old = reg.ReadString(QString());
    reg.WriteString(QString(), className);
    if (reg.ReadString(BackupValueName).isEmpty()) reg.WriteString(BackupValueName, old);
  }
  if (reg.OpenKey(kClasses + className, true)) reg.WriteString(QString(), QString(format.desc));
  if (reg.OpenKey(kClasses + className + QStringLiteral("\\DefaultIcon"), true)) reg.WriteString(QString(), icon);
  if (reg.OpenKey(kClasses + className + kOpenCommand, true)) reg.WriteString(QString(), command);
  return reg.Flush();
}

bool RestoreFormat(const QString& name) {
  const ftype format = FindListedFormat(name);
  if (format.name.isEmpty()) return true;
  const QString className = ClassNamePrefix + name;

  TRegistry reg;
  if (reg.KeyExists(kClasses + className)) reg.DeleteKey(kClasses + className);
  for (const QString& ext : Extensions(format)) {
    const QString key = kClasses + u'.' + ext;
    if (!reg.OpenKey(key, true)) continue;
    if (reg.ValueExists(BackupValueName)) {
      const QString backup = reg.ReadString(BackupValueName);
      if (!backup.isEmpty()) reg.WriteString(QString(), backup);
      reg.DeleteValue(BackupValueName);
    }
    if (!reg.ReadString(QString()).contains(QLatin1String("Velvane"))) continue;
    // The viewer's type with nothing earlier to return to. Values and subkeys
    // that other programs put there stay; the key goes only when it is empty.
    reg.DeleteValue(QString());
    if (reg.GetValueNames().isEmpty() && !reg.HasSubKeys()) {
      reg.CloseKey();
      reg.DeleteKey(key);
    }
  }
  return reg.Flush();
}

QString AssociatedExecutable() {
  for (const ftype& format : ListedFormats()) {
    for (const QString& ext : Extensions(format)) {
      if (!IsExtensionAssociated(ext)) continue;
      TRegistry reg;
      if (!reg.OpenKey(kClasses + u'.' + ext, false)) continue;
      const QString className = reg.ReadString(QString());
      if (reg.OpenKey(kClasses + className + kOpenCommand, false))
        return OpenCommandExecutable(reg.ReadString(QString()));
    }
  }
  return {};
}
