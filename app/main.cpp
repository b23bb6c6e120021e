#include "app/startup.h"
#include "settings/tfoptions.h"
#include "viewer/options_target.h"
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

  TAppState state;
  if (!PrepareAppState(state, QCoreApplication::applicationDirPath() + u'/', QCoreApplication::arguments().mid(1)))
    return 0;  // uninstall mode: the associations are restored once that store exists

  Tfmain fmain(state);
  state.bFullScreen = !state.bFullScreen;
  fmain.ToggleFullscreen();
  TfmainOptionsTarget optionsTarget(fmain);
  TfOptions fOptions(state.Settings, optionsTarget, &fmain);
  fmain.ShowOptions = [&fOptions] { fOptions.ShowModal(); };
  if (state.Settings.FirstRun) FinishFirstRun(state);
  fmain.show();
  return QApplication::exec();
}
