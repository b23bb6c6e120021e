#pragma once

#include "viewer/app_state.h"

#include <QStringList>

class QWidget;

// The start-up steps before any window exists: settings loaded (or the
// factory values written), the command line interpreted, the first file and
// display mode chosen, the view flags taken from the settings (and
// sStartupNotice set when they could not be read). Returns false
// when the command line asks for the uninstall mode, in which case no window
// is to be created.
bool PrepareAppState(TAppState& state, const QString& appDir, const QStringList& args);

// Shows state.sStartupNotice, when there is one, in an error box over window.
void ShowStartupNotice(QWidget& window, const TAppState& state);

// After the first-run step: the step is not offered again.
void FinishFirstRun(TAppState& state);
