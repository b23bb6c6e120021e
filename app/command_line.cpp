#include "app/command_line.h"

QString SampleImagePath(const QString& appDir) {
  return appDir + QStringLiteral("samples/A_beautiful_Sky.jpg");
}

TCommandLine InterpretCommandLine(const QStringList& args, bool settingsFullScreen, const QString& appDir) {
  TCommandLine result;
  result.bFullScreen = settingsFullScreen;
  if (args.isEmpty()) {
    result.bFullScreen = false;
  } else {
    const QString first = args.first().toLower();
    if (first.contains(QLatin1String("/uninstall"))) {
      result.bUninstall = true;
      return result;
    }
    if (first.contains(QLatin1String("/windowed"))) {
      result.sFile = args.size() > 1 ? args.at(1) : QString();
      result.bFullScreen = false;
    } else {
      result.sFile = args.first();
    }
  }
  if (result.sFile.isEmpty()) result.sFile = SampleImagePath(appDir);
  return result;
}
