#pragma once

#include "viewer/app_state.h"

#include <QStringList>

// The start-up steps before any window exists: settings loaded (or the
// factory values written), the command line interpreted, the first file and
// display mode chosen, the view flags taken from the settings. Returns false
// when the command line asks for the uninstall mode, in which case no window
// is to be created.
bool PrepareAppState(TAppState& state, const QString& appDir, const QStringList& args);

// After the first-run step: the step is not offered again.
void FinishFirstRun(TAppState& state);
