#include "platform/desktop_entry.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QByteArray kMarkKey = "X-Velvane-Associations=true";

}  // namespace

QString UserApplicationsFolder() {
  QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
  return data + QStringLiteral("/applications");
}

QString UserDesktopEntryPath() { return UserApplicationsFolder() + u'/' + DesktopFileId; }

QString DesktopExecArgument(const QString& program) {
  // Quoted only when it must be: xdg-mime and xdg-open take the program as
  // the Exec value's first word, quotes included, and would not find it.
  const bool bQuote = program.isEmpty() || std::any_of(program.begin(), program.end(), [](QChar c) {
                        return c.unicode() < 0x20 || QStringView(u" \"'\\><~|&;$*?#()`=").contains(c);
                      });
  QString quoted = bQuote ? QStringLiteral("\"") : QString();
  for (const QChar c : program) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
    if (c == u'%') quoted += u'%';
    quoted += c;
  }
  if (bQuote) quoted += u'"';
  // The string-value escapes are undone before the quoting rules apply, so
  // they are applied last here.
  QString value;
  for (const QChar c : quoted) {
    switch (c.unicode()) {
      case '\\': value += QStringLiteral("\\\\"); break;
      case '\n': value += QStringLiteral("\\n"); break;
      case '\t': value += QStringLiteral("\\t"); break;
      case '\r': value += QStringLiteral("\\r"); break;
      default: value += c;
    }
  }
  return value;
}

QByteArray DesktopEntryText(const QString& program, const QStringList& mimeTypes, TDesktopEntryKind kind) {
  QByteArray text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Velvane Photo Viewer\n"
      "GenericName=Photo Viewer\n"
      "Comment=View photos and step through the pictures of their folder\n";
  text += "Icon=" + ApplicationId.toUtf8() + '\n';
  text += "Exec=" + DesktopExecArgument(program).toUtf8() + " -- %f\n";
  text +=
      "Terminal=false\n"
      "Categories=Graphics;Viewer;\n"
      "Keywords=photo;picture;image;viewer;slideshow;\n"
      "StartupWMClass=velvane\n";
  text += "MimeType=" + mimeTypes.join(u';').toUtf8() + (mimeTypes.isEmpty() ? "" : ";") + "\n";
  if (kind == TDesktopEntryKind::UserAssociations) text += kMarkKey + '\n';
  return text;
}

bool IsViewerWrittenEntry(const QByteArray& text) {
  for (const QByteArray& line : text.split('\n'))
    if (line.trimmed() == kMarkKey) return true;
  return false;
}
