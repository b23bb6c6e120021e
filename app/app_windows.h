#pragma once

#include "about/tfabout.h"
#include "edit/tfresizeto.h"
#include "shell/tfintegration.h"
#include "viewer/tfmain.h"

#include <functional>

// The viewer's windows, created once in their start-up order (the main
// window, which loads the first image, then the associations, about and
// custom-size dialogs) and wired to the main window's commands.
struct TAppWindows {
  // screenPpi 0 takes the screen's pixels per inch. mainWindowMade runs when
  // the main window exists (its first image loaded) and before the dialogs
  // are made.
  explicit TAppWindows(TAppState& state, int screenPpi = 0,
                       const std::function<void(Tfmain&)>& mainWindowMade = {});

  // The first-run step: the associations dialog, modal, before the main
  // window shows; FirstRun is stored as done whatever the answer.
  void RunFirstRun();

  TAppState& State;
  Tfmain fmain;

private:
  struct TCall {
    TCall(const std::function<void(Tfmain&)>& call, Tfmain& window) {
      if (call) call(window);
    }
  } FMainWindowMade;

public:
  TfIntegration fIntegration;
  TfAbout fAbout;
  TfResizeTo fResizeTo;
};
