#include "app/startup.h"

#include "app/command_line.h"
#include "folder/folder_argument.h"
#include "platform/application_title.h"
#include "platform/message_box.h"
#include "settings/settings_store.h"

bool PrepareAppState(TAppState& state, const QString& appDir, const QStringList& args) {
  state.sAppDir = appDir;
  state.sStartupNotice = PrepareSettingsAtStartup(state.Settings);
  state.bFullScreen = state.Settings.FullScreen;
  state.sCurrentFile.clear();

  const TCommandLine cmd = InterpretCommandLine(args, state.Settings.FullScreen, appDir);
  if (cmd.bUninstall) return false;
  state.bFullScreen = cmd.bFullScreen;
  state.Folder = TFolderState{};
  state.sCurrentFile = PictureToOpen(state.Folder, cmd.sFile, state.Settings);
  state.View.bZoomToFit = state.Settings.ZoomToFit;
  state.View.bShrinkToFit = state.Settings.ShrinkToFit;
  return true;
}

void ShowStartupNotice(QWidget& window, const TAppState& state) {
  if (!state.sStartupNotice.isEmpty()) ShowErrorBox(&window, state.sStartupNotice, QLatin1String(ApplicationTitle));
}

void FinishFirstRun(TAppState& state) {
  state.Settings.FirstRun = false;
  SaveSettings(state.Settings);
}
