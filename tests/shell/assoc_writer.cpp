// A second viewer process for desktop_sync_test: associates the formats named
// on its command line with the executable given first, then sends the notice.
#include "shell/association_notice.h"
#include "shell/association_store.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty()) return 2;
  const QString exe = args.first();
  ApplicationExeNameHook() = [exe] { return exe; };
  for (const QString& name : args.mid(1)) AssociateFormat(name);
  return NotifyAssociationsChanged().bDone ? 0 : 1;
}
