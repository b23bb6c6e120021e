// The real viewer's modes that print and end: help, version and a usage
// error, none of which needs a display; and a start that needs a window
// finding none.
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

struct TRun {
  int exitCode = -1;
  QString out, err;
};

TRun RunViewer(const QStringList& args, const QString& display = QString()) {
  TempFolder config;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
  if (!display.isEmpty()) env.insert("DISPLAY", display);
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

// The processes whose parent is this one.
QStringList Children() {
  QStringList children;
  const QByteArray self = QByteArray::number(static_cast<qint64>(::getpid()));
  for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    // pid (name) state ppid ...: the name may hold spaces, so count from its ')'.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 1 && fields.at(1) == self) children << pid;
  }
  return children;
}

TEST(TextModes, AStartThatNeedsAWindowWithoutADisplayEndsWithOneLine) {
  // Anything the viewer leaves behind becomes our child, where it can be seen.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  const QString photo = QStringLiteral(VELVANE_BUILD_DIR "/samples/A_beautiful_Sky.jpg");
  struct TCase {
    QStringList args;
    QString display;
    const char* problem;
  };
  const TCase cases[] = {
      {{photo}, {}, "no display"},
      {{"/windowed", photo}, {}, "no display"},
      {{"--windowed"}, {}, "no display"},
      {{photo}, ":4711", "cannot connect to the display \":4711\""},
  };
  for (const TCase& c : cases) {
    const TRun run = RunViewer(c.args, c.display);
    const std::string what = c.args.join(' ').toStdString() + " " + run.err.toStdString();
    EXPECT_EQ(run.exitCode, 1) << what;  // -1: it crashed
    EXPECT_EQ(run.err.count('\n'), 1) << what;
    EXPECT_TRUE(run.err.startsWith("velvane: cannot open a window: ")) << what;
    EXPECT_TRUE(run.err.contains(c.problem)) << what;
    EXPECT_TRUE(Children().isEmpty()) << "left behind: " << Children().join(' ').toStdString() << " by " << what;
  }
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
