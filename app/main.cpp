#include "app/app_windows.h"
#include "app/command_line.h"
#include "app/early_decode.h"
#include "app/startup.h"
#include "settings/tfoptions.h"
#include "shell/integration.h"
#include "viewer/options_target.h"

#include <QApplication>

#include <FreeImage.h>

namespace {

// FreeImage's plugins, initialised for the life of the process.
struct TFreeImageLibrary {
  TFreeImageLibrary() { FreeImage_Initialise(FALSE); }
  ~TFreeImageLibrary() { FreeImage_DeInitialise(); }
};

// The uninstall mode shows no window, so it needs no display either.
int RunUninstallMode(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("velvane"));
  TAppState state;
  if (!PrepareAppState(state, QCoreApplication::applicationDirPath() + u'/', QCoreApplication::arguments().mid(1)))
    Uninstall();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (IsUninstallArgument(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString())) return RunUninstallMode(argc, argv);
  StartFirstDecode(argc, argv);
  TFreeImageLibrary freeImage;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("velvane"));

  TAppState state;
  if (!PrepareAppState(state, QCoreApplication::applicationDirPath() + u'/', QCoreApplication::arguments().mid(1))) {
    Uninstall();
    return 0;
  }

  const auto applyDisplayMode = [&state](Tfmain& window) {
    state.bFullScreen = !state.bFullScreen;
    window.ToggleFullscreen();
  };
  // A slow first decode shows the window early, so the wait can be seen and ended.
  state.ShowWhileLoading = [&applyDisplayMode](Tfmain& window) {
    applyDisplayMode(window);
    window.show();
  };
  TAppWindows windows(state);
  state.ShowWhileLoading = nullptr;
  Tfmain& fmain = windows.fmain;
  const bool shownEarly = fmain.isVisible();
  if (!shownEarly) applyDisplayMode(fmain);
  TfmainOptionsTarget optionsTarget(fmain);
  TfOptions fOptions(state.Settings, optionsTarget, &fmain);
  fmain.ShowOptions = [&fOptions] { fOptions.ShowModal(); };
  fOptions.ShowIntegration = [&windows, &fOptions] { windows.fIntegration.ShowModalFor(&fOptions); };
  windows.RunFirstRun();
  if (!shownEarly) fmain.show();
  return QApplication::exec();
}
