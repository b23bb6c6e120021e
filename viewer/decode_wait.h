#pragma once

#include <QEventLoop>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QKeyEvent;
class QWidget;
namespace decoder {
class TDecoderClient;
}

// Keeps the main window alive while the decoder works on a slow load: the
// event loop runs, so the window paints and its timer ticks, but the input
// meant for the window (keys, clicks, the wheel, drops) is held back, to be
// handed back in order once the load is over, never inside it. The Quit key
// or closing the window cancels the load and asks the window to quit; a
// navigation key cancels it too (its own load replaces the picture anyway).
class TDecodeWait : public QObject {
public:
  struct THooks {
    std::function<bool(const QKeyEvent&)> isQuitKey;
    std::function<bool(const QKeyEvent&)> isSkipKey;
    std::function<void()> onTick;  // every poll of the decoder, about 10 ms apart
  };

  TDecodeWait(QWidget& window, decoder::TDecoderClient& client, THooks hooks);
  ~TDecodeWait() override;

  // Runs the event loop until the load has its answer or is cancelled.
  void Run();
  bool QuitRequested() const { return FQuit; }
  // Posts the held-back events to their receivers, in the order they came.
  void ReplayHeldEvents();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Hold(QObject* receiver, const QEvent& event);
  void Cancel(bool quit);

  QWidget& FWindow;
  decoder::TDecoderClient& FClient;
  THooks FHooks;
  QEventLoop FLoop;
  bool FQuit = false;
  std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> FHeld;
};
