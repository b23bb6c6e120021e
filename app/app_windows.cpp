#include "app/app_windows.h"

#include "app/startup.h"
#include "platform/modal_dialog.h"

TMainWindow::TMainWindow(TAppState& state, int screenPpi, const std::function<void(Tfmain&)>& made)
    : fmain(state, nullptr, screenPpi) {
  if (made) made(fmain);
}

TAppWindows::TAppWindows(TAppState& state, int screenPpi, const std::function<void(Tfmain&)>& mainWindowMade)
    : TMainWindow(state, screenPpi, mainWindowMade),
      State(state),
      fIntegration(state.Settings, &fmain, screenPpi),
      fAbout(state.sAppDir, &fmain, screenPpi),
      fResizeTo(state.bRememberResize, &fmain, screenPpi) {
  fmain.ShowIntegration = [this] { fIntegration.ShowModalFor(&fmain); };
  fmain.ShowAbout = [this] { ShowModal(fAbout); };
  fmain.SetResizeDialog(&fResizeTo);
}

void TAppWindows::RunFirstRun() {
  if (!State.Settings.FirstRun) return;
  fIntegration.ShowModalFor(&fmain);
  FinishFirstRun(State);
}
