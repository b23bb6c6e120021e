// velvane-help-page README TITLE OUTPUT SECTION...: writes the help page that
// ships with the viewer from the README's sections for users. Run by the
// build, not installed; a section the README lacks fails the build, so that a
// renamed heading cannot silently drop a part of the help.
#include "help_page.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 5) {
    std::fputs("usage: velvane-help-page README TITLE OUTPUT SECTION...\n", stderr);
    return 2;
  }
  QFile readme(args[1]);
  if (!readme.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "velvane-help-page: cannot read %s\n", qPrintable(args[1]));
    return 1;
  }
  QStringList missing;
  const QByteArray html = HelpPageHtml(QString::fromUtf8(readme.readAll()), args[2], args.mid(4), &missing).toUtf8();
  if (!missing.isEmpty()) {
    std::fprintf(stderr, "velvane-help-page: %s has no section %s\n", qPrintable(args[1]),
                 qPrintable(missing.join(QStringLiteral(", "))));
    return 1;
  }
  QSaveFile out(args[3]);
  if (!out.open(QIODevice::WriteOnly) || out.write(html) != html.size() || !out.commit()) {
    std::fprintf(stderr, "velvane-help-page: cannot write %s\n", qPrintable(args[3]));
    return 1;
  }
  return 0;
}
