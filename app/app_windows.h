#pragma once

#include "about/tfabout.h"
#include "edit/tfresizeto.h"
#include "shell/tfintegration.h"
#include "viewer/tfmain.h"

#include <functional>

// The main window, made first; made runs as soon as it exists (its first
// image loaded), before anything else of the application is made.
struct TMainWindow {
  TMainWindow(TAppState& state, int screenPpi, const std::function<void(Tfmain&)>& made);
  Tfmain fmain;
};

// The viewer's windows, created once in their start-up order (the main
// window, which loads the first image, then the associations, about and
// custom-size dialogs) and wired to the main window's commands.
struct TAppWindows : TMainWindow {
  // screenPpi 0 takes the screen's pixels per inch. mainWindowMade runs when
  // the main window exists (its first image loaded) and before the dialogs
  // are made.
  explicit TAppWindows(TAppState& state, int screenPpi = 0, const std::function<void(Tfmain&)>& mainWindowMade = {});

  // The first-run step: the associations dialog, modal, before the main
  // window shows; FirstRun is stored as done whatever the answer.
  void RunFirstRun();

  TAppState& State;
  TfIntegration fIntegration;
  TfAbout fAbout;
  TfResizeTo fResizeTo;
};
