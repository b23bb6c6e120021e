// velvane-desktop-entry PROGRAM MIME-PACKAGE OUTPUT: writes the desktop entry
// that an installation puts in share/applications, from the same MIME types
// and text the viewer writes into the user's folder when it takes over file
// types, so that the two never disagree. Run by the build, not installed.
#include "platform/desktop_entry.h"
#include "platform/mime_types.h"
#include "shell/association_notice.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 4) {
    std::fputs("usage: velvane-desktop-entry PROGRAM MIME-PACKAGE OUTPUT\n", stderr);
    return 2;
  }
  const TMimePackage package = TMimePackage::Load(args[2]);
  if (package.IsEmpty()) {
    std::fprintf(stderr, "velvane-desktop-entry: no MIME types in %s\n", qPrintable(args[2]));
    return 1;
  }
  const QByteArray text = DesktopEntryText(args[1], SupportedMimeTypes(package), TDesktopEntryKind::Installed);
  QSaveFile out(args[3]);
  if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
    std::fprintf(stderr, "velvane-desktop-entry: cannot write %s\n", qPrintable(args[3]));
    return 1;
  }
  return 0;
}
