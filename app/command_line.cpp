#include "app/command_line.h"

QString SampleImagePath(const QString& appDir) {
  return appDir + QStringLiteral("samples/A_beautiful_Sky.jpg");
}

bool IsUninstallArgument(const QString& arg) { return arg.toLower() == QLatin1String("/uninstall"); }

bool IsWindowedArgument(const QString& arg) { return arg.toLower() == QLatin1String("/windowed"); }

TCommandLine InterpretCommandLine(const QStringList& args, bool settingsFullScreen, const QString& appDir) {
  TCommandLine result;
  result.bFullScreen = settingsFullScreen;
  if (args.isEmpty()) {
    result.bFullScreen = false;
  } else {
    const QString& first = args.first();
    if (IsUninstallArgument(first)) {
      result.bUninstall = true;
      return result;
    }
    if (IsWindowedArgument(first)) {
      result.sFile = args.size() > 1 ? args.at(1) : QString();
      result.bFullScreen = false;
    } else {
      result.sFile = first;
    }
  }
  if (result.sFile.isEmpty()) result.sFile = SampleImagePath(appDir);
  return result;
}
