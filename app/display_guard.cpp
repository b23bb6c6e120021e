#include "app/display_guard.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

struct THeldMessage {
  QtMsgType type;
  QByteArray category;
  QString text;
};

// The guard's state: a message handler has nowhere else to find it.
struct TGuardState {
  QtMessageHandler previous = nullptr;
  QString platform;
  std::function<void()> cleanUp;
  std::vector<THeldMessage> held;
};
TGuardState* Guard = nullptr;

void GuardHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    Guard->held.push_back({type, QByteArray(context.category ? context.category : ""), text});
    return;
  }
  const QString line =
      NoDisplayLine(Guard->platform, qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"));
  std::fprintf(stderr, "velvane: %s\n", qPrintable(line));
  if (Guard->cleanUp) Guard->cleanUp();
  std::_Exit(1);
}

}  // namespace

QString NoDisplayLine(const QString& platform, const QString& display, const QString& waylandDisplay) {
  const QString name = platform.section(u':', 0, 0);
  const QString prefix = QStringLiteral("cannot open a window: ");
  if (name.startsWith(QLatin1String("wayland")) || (name.isEmpty() && display.isEmpty() && !waylandDisplay.isEmpty()))
    return prefix + (waylandDisplay.isEmpty()
                         ? QStringLiteral("no Wayland display (WAYLAND_DISPLAY is not set)")
                         : QStringLiteral("cannot connect to the Wayland display \"%1\"").arg(waylandDisplay));
  if (!name.isEmpty() && name != QLatin1String("xcb"))
    return prefix + QStringLiteral("the display platform \"%1\" could not start").arg(name);
  if (!display.isEmpty()) return prefix + QStringLiteral("cannot connect to the display \"%1\"").arg(display);
  return prefix + (name.isEmpty() ? QStringLiteral("no display (neither DISPLAY nor WAYLAND_DISPLAY is set)")
                                  : QStringLiteral("no display (DISPLAY is not set)"));
}

TDisplayGuard::TDisplayGuard(const QString& platform, std::function<void()> cleanUp) {
  Guard = new TGuardState{nullptr, platform, std::move(cleanUp), {}};
  Guard->previous = qInstallMessageHandler(GuardHandler);
}

TDisplayGuard::~TDisplayGuard() {
  qInstallMessageHandler(Guard->previous);
  for (const THeldMessage& m : Guard->held) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.isEmpty() ? nullptr : m.category.constData());
    Guard->previous(m.type, context, m.text);
  }
  delete std::exchange(Guard, nullptr);
}
