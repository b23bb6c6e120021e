#include "app/app_windows.h"

#include "app/startup.h"
#include "platform/modal_dialog.h"

TAppWindows::TAppWindows(TAppState& state, int screenPpi, const std::function<void(Tfmain&)>& mainWindowMade)
    : State(state),
      fmain(state, nullptr, screenPpi),
      FMainWindowMade(mainWindowMade, fmain),
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
