#pragma once

#include "folder/folder_list.h"
#include "settings/settings.h"
#include "viewer/view_state.h"

#include <QString>

#include <functional>

class Tfmain;

// Tone values applied to a fresh decode of the file (neutral 1, 0, 0).
struct TToneState {
  double fGamma = 1.0;
  double fBrightness = 0.0;
  double fContrast = 0.0;
};

// Panel, pointer and drag state of the main window.
struct TPointerState {
  int iPanelTimeout = 0;
  int iLastMouseX = 0;
  int iLastMouseY = 0;
  int iDragStartX = 0;
  int iDragStartY = 0;
  int iDragOffsetX = 0;
  int iDragOffsetY = 0;
  bool bDblClick = false;
};

// Everything the viewer keeps for the length of a run, owned by one object so
// every test can build a fresh viewer.
struct TAppState {
  QString sAppDir;       // folder of the executable, with a trailing '/'
  QString sCurrentFile;  // the file on display, as it was handed to the loader
  TSettings Settings;
  TFolderState Folder;  // the folder list and its cursor
  TViewState View;
  TToneState Tone;
  TPointerState Pointer;
  bool bShowFileInfo = false;
  bool bFullScreen = false;
  // Called when the first load is slow and the window not shown yet: shows
  // it, so that the wait can be watched and ended. Unset: the window shows
  // when its creator shows it.
  std::function<void(Tfmain&)> ShowWhileLoading;
  // The custom resize skips its dialog and takes the size last confirmed.
  bool bRememberResize = false;
  // What start-up has to tell the user once the main window is up (settings
  // that could not be read); empty for nothing.
  QString sStartupNotice;
};
