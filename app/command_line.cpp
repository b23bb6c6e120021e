#include "app/command_line.h"

#include "platform/application_title.h"
#include "platform/data_folder.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cstring>

namespace {

const QString kUninstall = QStringLiteral("uninstall");
const QString kWindowed = QStringLiteral("windowed");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");

// The viewer's options; the file is the one positional argument.
void AddOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(QLatin1String(ApplicationTitle) +
                                   QStringLiteral(": shows FILE, or the sample image, and steps through the "
                                                  "pictures of its folder."));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  parser.addOption(
      QCommandLineOption(kWindowed, QStringLiteral("Show FILE in a window rather than full screen (also /windowed).")));
  parser.addOption(QCommandLineOption(
      kUninstall, QStringLiteral("Give every file type the viewer opens back to its previous program, "
                                 "then exit (also /uninstall). Needs no display.")));
  parser.addOption(QCommandLineOption({QStringLiteral("h"), kHelp}, QStringLiteral("Show this help and exit.")));
  parser.addOption(QCommandLineOption({QStringLiteral("v"), kVersion}, QStringLiteral("Show the version and exit.")));
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("The picture to show (the sample image when absent). A name "
                                              "that starts with '-' goes after '--'."),
                               QStringLiteral("[--] [FILE]"));
}

// The dash spelling of a switch, lower-cased, or arg unchanged. The slash
// forms are switches only as the first argument.
QString Canonical(const QString& arg, bool first) {
  const QString lower = arg.toLower();
  if (first && (lower == QLatin1String("/uninstall") || lower == QLatin1String("/windowed")))
    return QStringLiteral("--") + lower.mid(1);
  for (const QString& name : {kUninstall, kWindowed, kHelp, kVersion})
    if (lower == QStringLiteral("--") + name) return lower;
  if (lower == QLatin1String("-h") || lower == QLatin1String("-v")) return lower;
  return arg;
}

}  // namespace

QString SampleImagePath(const QString& appDir) {
  return DataFolder(appDir) + QStringLiteral("samples/A_beautiful_Sky.jpg");
}

bool IsUninstallArgument(const QString& arg) {
  const QString lower = arg.toLower();
  return lower == QLatin1String("/uninstall") || lower == QLatin1String("--uninstall");
}

bool IsWindowedArgument(const QString& arg) {
  const QString lower = arg.toLower();
  return lower == QLatin1String("/windowed") || lower == QLatin1String("--windowed");
}

TCommandLine InterpretCommandLine(const QStringList& args, bool settingsFullScreen, const QString& appDir) {
  TCommandLine result;
  result.bFullScreen = settingsFullScreen;
  if (args.isEmpty()) {
    result.bFullScreen = false;
    result.sFile = SampleImagePath(appDir);
    return result;
  }

  // An uninstall asked for first ignores what follows it (only a request for
  // the help or the version before "--" still wins).
  if (IsUninstallArgument(args.first())) {
    result.Mode = TStartMode::Uninstall;
    for (qsizetype i = 1; i < args.size() && args.at(i) != QLatin1String("--"); ++i) {
      const QString arg = Canonical(args.at(i), false);
      if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) result.Mode = TStartMode::Help;
      if (result.Mode == TStartMode::Uninstall && (arg == QLatin1String("--version") || arg == QLatin1String("-v")))
        result.Mode = TStartMode::Version;
    }
    result.bUninstall = result.Mode == TStartMode::Uninstall;
    return result;
  }

  // Switches are read up to the first other argument or "--".
  QStringList argv{QStringLiteral("velvane")};
  qsizetype i = 0;
  for (; i < args.size(); ++i) {
    const QString arg = Canonical(args.at(i), i == 0);
    if (arg == QLatin1String("--") || !arg.startsWith(u'-') || arg.size() == 1) break;
    argv << arg;
  }
  argv << args.mid(i);

  QCommandLineParser parser;
  AddOptions(parser);
  if (!parser.parse(argv)) {
    result.Mode = TStartMode::Error;
    result.sError = parser.errorText();
    return result;
  }
  if (parser.isSet(kHelp)) {
    result.Mode = TStartMode::Help;
  } else if (parser.isSet(kVersion)) {
    result.Mode = TStartMode::Version;
  } else if (parser.isSet(kUninstall)) {
    result.Mode = TStartMode::Uninstall;
    result.bUninstall = true;
  }
  if (result.Mode != TStartMode::Show) return result;

  const QStringList files = parser.positionalArguments();
  // "--" alone asks for nothing, as no argument at all does.
  if (parser.isSet(kWindowed) || (files.isEmpty() && parser.optionNames().isEmpty())) result.bFullScreen = false;
  if (!files.isEmpty()) result.sFile = files.first();
  if (result.sFile.isEmpty()) result.sFile = SampleImagePath(appDir);
  return result;
}

QString CommandLineHelpText() {
  QCommandLineParser parser;
  AddOptions(parser);
  QString text = parser.helpText();
  // The usage line names the program as it was started; the manual's name reads better.
  const qsizetype end = text.indexOf(u'\n');
  return QStringLiteral("Usage: velvane [options] [--] [FILE]") + text.mid(end);
}

QString CommandLineVersionText() {
  return QLatin1String(ApplicationTitle) + u' ' + QStringLiteral(VELVANE_VERSION) + u'\n';
}

int QtArgumentCount(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] && std::strcmp(argv[i], "--") == 0) return i;
  return argc;
}
