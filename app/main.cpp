#include "app/command_line.h"
#include "settings/settings.h"
#include "viewer/app_state.h"
#include "viewer/image_loader.h"
#include "viewer/tfmain.h"

#include <QApplication>

#include <FreeImage.h>

namespace {

// FreeImage's plugins, initialised for the life of the process.
struct TFreeImageLibrary {
  TFreeImageLibrary() { FreeImage_Initialise(FALSE); }
  ~TFreeImageLibrary() { FreeImage_DeInitialise(); }
};

}  // namespace

int main(int argc, char** argv) {
  TFreeImageLibrary freeImage;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("velvane"));
  QApplication::setApplicationDisplayName(QString());

  TAppState state;
  state.sAppDir = QCoreApplication::applicationDirPath() + u'/';
  DefaultSettings(state.Settings);

  const TCommandLine cmd = InterpretCommandLine(QCoreApplication::arguments().mid(1),
                                                state.Settings.FullScreen, state.sAppDir);
  if (cmd.bUninstall) return 0;
  state.bFullScreen = cmd.bFullScreen;
  state.sCurrentFile = cmd.sFile;
  state.View.bZoomToFit = state.Settings.ZoomToFit;
  state.View.bShrinkToFit = state.Settings.ShrinkToFit;

  Tfmain fmain(state);
  state.bFullScreen = !state.bFullScreen;
  fmain.ToggleFullscreen();
  fmain.show();
  return QApplication::exec();
}
