#include "app/run_viewer.h"

#include "app/app_windows.h"
#include "app/desktop_identity.h"
#include "app/startup.h"
#include "settings/tfoptions.h"
#include "viewer/options_target.h"

#include <QApplication>
#include <QElapsedTimer>

namespace {

// How long start-up waits for the first picture to reach the screen before it
// goes on making the other windows (a window manager that never maps the
// window must not hold it up).
constexpr int FirstPictureWaitMs = 500;

}  // namespace

int RunViewer(TAppState& state, const QString& appDir) {
  const auto applyDisplayMode = [&state](Tfmain& window) {
    state.bFullScreen = !state.bFullScreen;
    window.ToggleFullscreen();
  };
  // A slow first decode shows the window early, so the wait can be seen and
  // ended; not on a first run, where the associations dialog comes first.
  if (!state.Settings.FirstRun) {
    state.ShowWhileLoading = [&applyDisplayMode](Tfmain& window) {
      applyDisplayMode(window);
      window.show();
    };
  }
  // Unless the associations dialog of a first run must come first, the
  // picture goes on screen before the dialogs and the window icon are made:
  // they take tens of milliseconds the user would otherwise wait for.
  const auto showFirstPicture = [&state, &applyDisplayMode](Tfmain& window) {
    state.ShowWhileLoading = nullptr;
    if (state.Settings.FirstRun || window.isVisible() || window.bQuitRequested) return;
    applyDisplayMode(window);
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (!window.ShownOnScreen() && waited.elapsed() < FirstPictureWaitMs)
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 10);
  };
  TAppWindows windows(state, 0, showFirstPicture);
  SetApplicationIcon(appDir);
  Tfmain& fmain = windows.fmain;
  const bool shownEarly = fmain.isVisible();
  if (!shownEarly) applyDisplayMode(fmain);
  TfmainOptionsTarget optionsTarget(fmain);
  TfOptions fOptions(state.Settings, optionsTarget, &fmain);
  fmain.ShowOptions = [&fOptions] { fOptions.ShowModal(); };
  fOptions.ShowIntegration = [&windows, &fOptions] { windows.fIntegration.ShowModalFor(&fOptions); };
  windows.RunFirstRun();
  // The window's close is only queued: with the window not yet shown it
  // would never end the event loop.
  if (fmain.bQuitRequested) return 0;
  if (!shownEarly) fmain.show();
  ShowStartupNotice(fmain, state);
  return QApplication::exec();
}
