#include "app/command_line.h"
#include "app/desktop_identity.h"
#include "app/display_guard.h"
#include "app/early_decode.h"
#include "app/run_viewer.h"
#include "app/startup.h"
#include "decoder/decoder_client.h"
#include "decoder/extra_formats_plugin.h"
#include "platform/freeimage_setup.h"
#include "shell/integration.h"

#include <QApplication>

#include <FreeImage.h>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

// FreeImage's plugins, initialised for the life of the process.
struct TFreeImageLibrary {
  TFreeImageLibrary() {
    FreeImage_Initialise(FALSE);
    InstallImageLibraryMessageHandlers();
    // Named as in the worker, which reads them; nothing here does.
    decoder::RegisterExtraFormats();
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
int RunUninstallMode(int argc, char** argv, const TCommandLine& cmd) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("velvane"));
  TAppState state;
  if (PrepareAppState(state, ReadStartup(QCoreApplication::applicationDirPath() + u'/', cmd))) return 0;
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

// The platform Qt is asked for: "-platform NAME" before "--", else
// QT_QPA_PLATFORM; empty for Qt's default.
QString PlatformAsked(const QStringList& args) {
  for (qsizetype i = 0; i + 1 < args.size(); ++i) {
    if (args.at(i) == QLatin1String("--")) break;
    if (args.at(i) == QLatin1String("-platform") || args.at(i) == QLatin1String("--platform")) return args.at(i + 1);
  }
  return qEnvironmentVariable("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is read once, before Qt looks for a display: what needs
  // no display ends here, and the first picture decodes while Qt starts.
  const QStringList rawArgs = Arguments(argc, argv);
  TCommandLine cmd = ReadCommandLine(rawArgs, ExecutableFolder());
  if (cmd.Mode == TStartMode::Help || cmd.Mode == TStartMode::Version) return RunTextMode(cmd);
  if (cmd.Mode == TStartMode::Uninstall) return RunUninstallMode(argc, argv, cmd);
  if (cmd.Mode == TStartMode::Error && NoDisplay(rawArgs)) return RunTextMode(cmd);
  std::optional<TStartup> startup;
  if (cmd.Mode == TStartMode::Show) {
    startup = ReadStartup(ExecutableFolder(), cmd);
    StartFirstDecode(*startup);
  }

  // Qt takes its own options (-style, -session ...) only from before "--".
  const int beforeDashes = QtArgumentCount(argc, argv);
  int qtArgc = beforeDashes;
  std::vector<char*> qtArgv(argv, argv + qtArgc);
  qtArgv.push_back(nullptr);
  TFreeImageLibrary freeImage;
  // No display: one line and exit code 1, with the worker started above ended.
  std::optional<TDisplayGuard> displayGuard(std::in_place, PlatformAsked(rawArgs),
                                            [] { decoder::TDecoderClient::Shared().Stop(); });
  QApplication app(qtArgc, qtArgv.data());
  displayGuard.reset();
  QApplication::setApplicationName(QStringLiteral("velvane"));
  const QString appDir = QCoreApplication::applicationDirPath() + u'/';
  SetDesktopFileName();

  // Only Qt's own options, which the application object has now taken out,
  // can have made the command line an error: it is read again without them.
  if (!startup) {
    const QStringList args = QCoreApplication::arguments().mid(1) + rawArgs.mid(beforeDashes - 1);
    cmd = ReadCommandLine(args, appDir);
    if (cmd.Mode == TStartMode::Help || cmd.Mode == TStartMode::Version || cmd.Mode == TStartMode::Error)
      return RunTextMode(cmd);
    startup = ReadStartup(appDir, cmd);
  }
  startup->sAppDir = appDir;

  TAppState state;
  if (!PrepareAppState(state, std::move(*startup))) return ReportUninstall(Uninstall());

  return RunViewer(state, appDir);
}
