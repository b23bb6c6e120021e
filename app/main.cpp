#include "app/early_decode.h"
#include "app/startup.h"
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
  StartFirstDecode(argc, argv);
  TFreeImageLibrary freeImage;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("velvane"));

  TAppState state;
  if (!PrepareAppState(state, QCoreApplication::applicationDirPath() + u'/', QCoreApplication::arguments().mid(1)))
    return 0;  // uninstall mode: the associations are restored once that store exists

  const auto showWindow = [&state](Tfmain& window) {
    state.bFullScreen = !state.bFullScreen;
    window.ToggleFullscreen();
    window.show();
  };
  // A slow first decode shows the window early, so the wait can be seen and ended.
  state.ShowWhileLoading = showWindow;
  Tfmain fmain(state);
  state.ShowWhileLoading = nullptr;
  if (state.Settings.FirstRun) FinishFirstRun(state);
  if (!fmain.isVisible()) showWindow(fmain);
  return QApplication::exec();
}
