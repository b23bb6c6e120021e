#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for.
enum class TStartMode {
  Show,       // show sFile
  Uninstall,  // restore the associations and end, no window
  Help,       // print the usage and end
  Version,    // print the version and end
  Error,      // print sError and the usage, end with a failure
};

struct TCommandLine {
  TStartMode Mode = TStartMode::Show;
  bool bUninstall = false;   // Mode == Uninstall
  bool bFullScreen = false;  // display mode of the first window
  QString sFile;             // the first file to show
  QString sError;            // what was wrong, for Mode == Error
};

// Interprets the arguments after the executable's name (Qt's own options
// already taken out). A switch is a whole argument compared without regard
// to case: "/uninstall" or "--uninstall", "/windowed" or "--windowed",
// "--help" ("-h") and "--version" ("-v"). The slash forms count only as the
// first argument, so "/windowed /uninstall" shows the file "/uninstall"; a
// path that merely contains a switch, such as /photos/uninstall-notes/a.jpg,
// is a path. Help and version win over uninstall, uninstall over windowed.
// The file is the first argument that is not a switch, or the one after
// "--", which is how a file whose name starts with '-' is given; any other
// argument starting with '-' is an error. Arguments after the file are
// ignored, and so is everything after an uninstall switch given first
// ("/uninstall -x" uninstalls). With no argument at all (or "--" alone) the sample image is shown
// windowed; an empty file becomes the sample image.
TCommandLine InterpretCommandLine(const QStringList& args, bool settingsFullScreen, const QString& appDir);

// The usage and the version, as --help and --version print them.
QString CommandLineHelpText();
QString CommandLineVersionText();

// Whether arg is the switch, without regard to case, in either spelling.
bool IsUninstallArgument(const QString& arg);
bool IsWindowedArgument(const QString& arg);

// The number of argv entries Qt may read: those before the first "--", so
// that a file after it named like one of Qt's options ("-session",
// "-style" ...) reaches the viewer instead of Qt.
int QtArgumentCount(int argc, char** argv);

// The sample photograph that ships with the viewer (see DataFolder).
QString SampleImagePath(const QString& appDir);
