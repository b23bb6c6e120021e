#pragma once

#include "app/command_line.h"
#include "viewer/app_state.h"

#include <QStringList>

class QWidget;

// What start-up reads once, before any window exists: the command line, the
// settings (or the factory values, written when none are stored) and the
// first file to show, with the folder listing that found it.
struct TStartup {
  QString sAppDir;
  TCommandLine Command;  // Command.bFullScreen is already the settings' display mode
  TSettings Settings;
  QString sNotice;  // settings that could not be read; empty for none
  TFolderState Folder;
  QString sFirstFile;  // empty in the uninstall mode
};

// The command line as start-up reads it: the display mode is decided later
// by the settings (see ReadStartup).
TCommandLine ReadCommandLine(const QStringList& args, const QString& appDir);

// Loads the settings once and works out the first file of command.
TStartup ReadStartup(const QString& appDir, TCommandLine command);

// Moves what start-up read into state: the first file and display mode, the
// view flags taken from the settings (and sStartupNotice set when they could
// not be read). Returns false when the command line asks for the uninstall
// mode, in which case no window is to be created.
bool PrepareAppState(TAppState& state, TStartup startup);
// The same from the arguments after the executable's name.
bool PrepareAppState(TAppState& state, const QString& appDir, const QStringList& args);

// Shows state.sStartupNotice, when there is one, in an error box over window.
void ShowStartupNotice(QWidget& window, const TAppState& state);

// After the first-run step: the step is not offered again.
void FinishFirstRun(TAppState& state);
