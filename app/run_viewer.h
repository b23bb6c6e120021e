#pragma once

#include "viewer/app_state.h"

#include <QString>

// The start-up from the windows on, once the settings are loaded and the
// command line read (PrepareAppState): the main window loads the first
// picture, the dialogs follow, the display mode is applied, the first run
// asks about the associations before the main window shows, and the event
// loop runs. Returns the exit code. A Quit asked for while the first picture
// loaded ends it after the first-run step, without showing the window.
int RunViewer(TAppState& state, const QString& appDir);
