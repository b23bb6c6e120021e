#include "app/app_windows.h"
#include "app/command_line.h"
#include "app/desktop_identity.h"
#include "app/early_decode.h"
#include "app/startup.h"
#include "platform/freeimage_setup.h"
#include "settings/tfoptions.h"
#include "shell/integration.h"
#include "viewer/options_target.h"

#include <QApplication>
#include <QElapsedTimer>

#include <FreeImage.h>

#include <cstdio>
#include <vector>

namespace {

// How long start-up waits for the first picture to reach the screen before it
// goes on making the other windows (a window manager that never maps the
// window must not hold it up).
constexpr int FirstPictureWaitMs = 500;

// FreeImage's plugins, initialised for the life of the process.
struct TFreeImageLibrary {
  TFreeImageLibrary() {
    FreeImage_Initialise(FALSE);
    InstallImageLibraryMessageHandlers();
  }
  ~TFreeImageLibrary() { FreeImage_DeInitialise(); }
};

QStringList Arguments(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return args;
}

// Help, version and usage errors print and end.
int RunTextMode(const TCommandLine& cmd) {
  if (cmd.Mode == TStartMode::Error) {
    std::fprintf(stderr, "velvane: %s\nTry 'velvane --help'.\n", qPrintable(cmd.sError));
    return 2;
  }
  const QString text = cmd.Mode == TStartMode::Help ? CommandLineHelpText() : CommandLineVersionText();
  std::fputs(text.toLocal8Bit().constData(), stdout);
  return 0;
}

// An uninstall that could not write everything says so and fails.
int ReportUninstall(const QString& failure) {
  if (failure.isEmpty()) return 0;
  std::fprintf(stderr, "velvane: %s\n", qPrintable(failure));
  return 1;
}

// The uninstall mode shows no window, so it needs no display either.
int RunUninstallMode(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("velvane"));
  TAppState state;
  if (PrepareAppState(state, QCoreApplication::applicationDirPath() + u'/', QCoreApplication::arguments().mid(1)))
    return 0;
  return ReportUninstall(Uninstall());
}

// Without any display Qt could not start; a usage error is then reported
// here rather than as a failed platform plugin. With one, the error may be
// one of Qt's own options, which only the application object takes out.
bool NoDisplay(const QStringList& args) {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (!qEnvironmentVariableIsEmpty(name)) return false;
  for (const QString& arg : args) {
    if (arg == QLatin1String("--")) break;
    if (arg == QLatin1String("-platform") || arg == QLatin1String("--platform")) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // What needs no display is decided before Qt looks for one.
  const QStringList rawArgs = Arguments(argc, argv);
  const TCommandLine early = InterpretCommandLine(rawArgs, false, QString());
  if (early.Mode == TStartMode::Help || early.Mode == TStartMode::Version) return RunTextMode(early);
  if (early.Mode == TStartMode::Uninstall) return RunUninstallMode(argc, argv);
  if (early.Mode == TStartMode::Error && NoDisplay(rawArgs)) return RunTextMode(early);
  if (early.Mode == TStartMode::Show) StartFirstDecode(argc, argv);

  // Qt takes its own options (-style, -session ...) only from before "--".
  const int beforeDashes = QtArgumentCount(argc, argv);
  int qtArgc = beforeDashes;
  std::vector<char*> qtArgv(argv, argv + qtArgc);
  qtArgv.push_back(nullptr);
  TFreeImageLibrary freeImage;
  QApplication app(qtArgc, qtArgv.data());
  QApplication::setApplicationName(QStringLiteral("velvane"));
  const QString appDir = QCoreApplication::applicationDirPath() + u'/';
  SetDesktopFileName();

  const QStringList args = QCoreApplication::arguments().mid(1) + rawArgs.mid(beforeDashes - 1);
  const TCommandLine cmd = InterpretCommandLine(args, false, appDir);
  if (cmd.Mode == TStartMode::Help || cmd.Mode == TStartMode::Version || cmd.Mode == TStartMode::Error)
    return RunTextMode(cmd);

  TAppState state;
  if (!PrepareAppState(state, appDir, args)) return ReportUninstall(Uninstall());

  const auto applyDisplayMode = [&state](Tfmain& window) {
    state.bFullScreen = !state.bFullScreen;
    window.ToggleFullscreen();
  };
  // A slow first decode shows the window early, so the wait can be seen and ended.
  state.ShowWhileLoading = [&applyDisplayMode](Tfmain& window) {
    applyDisplayMode(window);
    window.show();
  };
  // Unless the associations dialog of a first run must come first, the
  // picture goes on screen before the dialogs and the window icon are made:
  // they take tens of milliseconds the user would otherwise wait for.
  const auto showFirstPicture = [&state, &applyDisplayMode](Tfmain& window) {
    state.ShowWhileLoading = nullptr;
    if (state.Settings.FirstRun || window.isVisible()) return;
    applyDisplayMode(window);
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (!window.ShownOnScreen() && waited.elapsed() < FirstPictureWaitMs)
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 10);
  };
  TAppWindows windows(state, 0, showFirstPicture);
  SetApplicationIcon(appDir);
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
