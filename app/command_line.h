#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for.
struct TCommandLine {
  bool bUninstall = false;  // restore the associations and end, no window
  bool bFullScreen = false; // display mode of the first window
  QString sFile;            // the first file to show
};

// Interprets the arguments after the executable's name. The first argument is
// lower-cased and must be the whole switch: "/uninstall" before "/windowed"
// (a path that merely contains one, such as /photos/uninstall-notes/a.jpg, is
// a path); with no argument the sample image is shown windowed; an empty file
// becomes the sample image under appDir.
TCommandLine InterpretCommandLine(const QStringList& args, bool settingsFullScreen, const QString& appDir);

// Whether arg is the switch, without regard to case.
bool IsUninstallArgument(const QString& arg);
bool IsWindowedArgument(const QString& arg);

// The sample photograph that ships beside the executable.
QString SampleImagePath(const QString& appDir);
