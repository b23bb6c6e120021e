#include "app/startup.h"

#include "folder/folder_argument.h"
#include "platform/application_title.h"
#include "platform/message_box.h"
#include "settings/settings_store.h"

TCommandLine ReadCommandLine(const QStringList& args, const QString& appDir) {
  // Read as if the settings asked for full screen: the switches and the
  // bare command line that ask for a window then say so by clearing it.
  return InterpretCommandLine(args, true, appDir);
}

TStartup ReadStartup(const QString& appDir, TCommandLine command) {
  TStartup startup;
  startup.sAppDir = appDir;
  startup.sNotice = PrepareSettingsAtStartup(startup.Settings);
  command.bFullScreen = command.bFullScreen && startup.Settings.FullScreen;
  startup.Command = std::move(command);
  if (!startup.Command.bUninstall)
    startup.sFirstFile = PictureToOpen(startup.Folder, startup.Command.sFile, startup.Settings);
  return startup;
}

bool PrepareAppState(TAppState& state, TStartup startup) {
  state.sAppDir = startup.sAppDir;
  state.Settings = std::move(startup.Settings);
  state.sStartupNotice = std::move(startup.sNotice);
  state.bFullScreen = startup.Command.bFullScreen;
  state.sCurrentFile.clear();
  if (startup.Command.bUninstall) return false;
  state.Folder = std::move(startup.Folder);
  state.sCurrentFile = std::move(startup.sFirstFile);
  state.View.bZoomToFit = state.Settings.ZoomToFit;
  state.View.bShrinkToFit = state.Settings.ShrinkToFit;
  return true;
}

bool PrepareAppState(TAppState& state, const QString& appDir, const QStringList& args) {
  return PrepareAppState(state, ReadStartup(appDir, ReadCommandLine(args, appDir)));
}

void ShowStartupNotice(QWidget& window, const TAppState& state) {
  if (!state.sStartupNotice.isEmpty()) ShowErrorBox(&window, state.sStartupNotice, QLatin1String(ApplicationTitle));
}

void FinishFirstRun(TAppState& state) {
  state.Settings.FirstRun = false;
  SaveSettings(state.Settings);
}
