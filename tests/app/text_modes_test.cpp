// The real viewer's modes that print and end: help, version and a usage
// error, none of which needs a display.
#include "support/temp_folder.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct TRun {
  int exitCode = -1;
  QString out, err;
};

TRun RunViewer(const QStringList& args) {
  TempFolder config;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
  env.insert("XDG_CONFIG_HOME", config.File("config"));
  QProcess viewer;
  viewer.setProcessEnvironment(env);
  viewer.start(QStringLiteral(VELVANE_BUILD_DIR "/velvane"), args);
  TRun run;
  if (!viewer.waitForFinished(60000) || viewer.exitStatus() != QProcess::NormalExit) return run;
  run.exitCode = viewer.exitCode();
  run.out = QString::fromLocal8Bit(viewer.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(viewer.readAllStandardError());
  return run;
}

TEST(TextModes, HelpVersionAndUsageErrorsNeedNoDisplay) {
  TRun help = RunViewer({"--HELP"});
  EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
  EXPECT_TRUE(help.out.startsWith("Usage: velvane [options] [--] [FILE]")) << help.out.toStdString();

  TRun version = RunViewer({"-v"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "Velvane Photo Viewer 1.5.2\n");

  TRun error = RunViewer({"--windowd", "a.jpg"});
  EXPECT_EQ(error.exitCode, 2);
  EXPECT_TRUE(error.out.isEmpty());
  EXPECT_TRUE(error.err.contains("Unknown option 'windowd'")) << error.err.toStdString();

  // Qt's own options before the switch are Qt's: here it brings the display.
  TRun qt = RunViewer({"-platform", "offscreen", "--version"});
  EXPECT_EQ(qt.exitCode, 0) << qt.err.toStdString();
  EXPECT_EQ(qt.out, "Velvane Photo Viewer 1.5.2\n");
}

}  // namespace
