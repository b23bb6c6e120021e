#include "viewer/decode_wait.h"

#include "decoder/decoder_client.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int PollMs = 10;

}  // namespace

TDecodeWait::TDecodeWait(QWidget& window, decoder::TDecoderClient& client, THooks hooks)
    : FWindow(window), FClient(client), FHooks(std::move(hooks)) {}

TDecodeWait::~TDecodeWait() { qApp->removeEventFilter(this); }

void TDecodeWait::Run() {
  if (!FClient.LoadPending()) return;
  const auto poll = [this] {
    FClient.Pump();
    if (FHooks.onTick) FHooks.onTick();
    if (!FClient.LoadPending()) FLoop.quit();
  };
  QTimer ticker;
  ticker.setInterval(PollMs);
  connect(&ticker, &QTimer::timeout, this, poll);
  ticker.start();
  std::unique_ptr<QSocketNotifier> notifier;
  if (FClient.SocketFd() >= 0) {
    notifier = std::make_unique<QSocketNotifier>(FClient.SocketFd(), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, poll);
  }
  qApp->installEventFilter(this);
  FLoop.exec();
  qApp->removeEventFilter(this);
}

void TDecodeWait::ReplayHeldEvents() {
  for (auto& [receiver, event] : FHeld)
    if (receiver) QCoreApplication::postEvent(receiver, event.release());
  FHeld.clear();
}

void TDecodeWait::Hold(QObject* receiver, const QEvent& event) {
  FHeld.emplace_back(QPointer<QObject>(receiver), std::unique_ptr<QEvent>(event.clone()));
}

void TDecodeWait::Cancel(bool quit) {
  if (quit) FQuit = true;
  FClient.CancelLoad();
  FLoop.quit();
}

bool TDecodeWait::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget != &FWindow && !FWindow.isAncestorOf(widget)) return false;

  switch (event->type()) {
    case QEvent::Close:
      if (widget != &FWindow) return false;
      event->ignore();
      Cancel(true);
      return true;
    case QEvent::KeyPress: {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      if (FHooks.isQuitKey && FHooks.isQuitKey(key)) {
        Cancel(true);
        return true;
      }
      Hold(watched, *event);
      if (FHooks.isSkipKey && FHooks.isSkipKey(key)) Cancel(false);
      return true;
    }
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu: Hold(watched, *event); return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      event->ignore();  // a drop would load a file inside this load
      return true;
    default: return false;
  }
}
