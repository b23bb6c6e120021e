// "/uninstall" runs the real viewer: every association restored, the desktop
// given its previous default back, exit code 0, no window and no display.
#include "platform/desktop_entry.h"
#include "platform/registry.h"
#include "shell/association_notice.h"
#include "shell/association_store.h"
#include "support/scratch_mount.h"
#include "support/temp_folder.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(UninstallMode, RestoresEverythingWithoutADisplay) {
  TempFolder home;
  ASSERT_TRUE(home.IsValid());
  const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", home.File("config").toLocal8Bit());
  qputenv("XDG_DATA_HOME", home.File("data").toLocal8Bit());
  const QString exe = QStringLiteral(VELVANE_BUILD_DIR "/velvane");
  ApplicationExeNameHook() = [exe] { return exe; };

  const QByteArray original = "[Default Applications]\nimage/png=other.desktop;\n";
  home.Write("config/mimeapps.list", original);
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Classes\\.PNG", true));
    reg.WriteString("", "pngfile");
  }
  AssociateFormat("PNG");
  AssociateFormat("JPEG");
  ASSERT_TRUE(NotifyAssociationsChanged().bDone);
  ASSERT_TRUE(QFileInfo::exists(UserDesktopEntryPath()));

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
  QProcess viewer;
  viewer.setProcessEnvironment(env);
  viewer.start(exe, {"/UnInstall", "-x", "more"});  // what follows is ignored
  ASSERT_TRUE(viewer.waitForFinished(60000));
  EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(viewer.exitCode(), 0) << viewer.readAllStandardError().toStdString();

  EXPECT_FALSE(IsFormatAssociated("PNG"));
  EXPECT_FALSE(IsFormatAssociated("JPEG"));
  TRegistry reg;
  EXPECT_FALSE(reg.KeyExists("\\SOFTWARE\\Classes\\.JPG"));
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Classes\\.PNG", false));
  EXPECT_EQ(reg.ReadString(""), "pngfile");
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Norquill\\Velvane"));  // the settings stay
  QFile list(home.File("config/mimeapps.list"));
  ASSERT_TRUE(list.open(QIODevice::ReadOnly));
  EXPECT_EQ(list.readAll(), original);
  EXPECT_FALSE(QFileInfo::exists(UserDesktopEntryPath()));

  ApplicationExeNameHook() = nullptr;
  qputenv("XDG_CONFIG_HOME", previous);
  qunsetenv("XDG_DATA_HOME");
}

// An uninstall that cannot write the user's config folder says so and fails.
TEST(UninstallMode, AReadOnlyConfigFolderIsReportedWithAFailure) {
  TScratchMount config;
  SKIP_UNLESS_MOUNTED(config);
  TempFolder data;
  ASSERT_TRUE(config.MakeReadOnly());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
  env.insert("XDG_CONFIG_HOME", config.Path());
  env.insert("XDG_DATA_HOME", data.Path());
  QProcess viewer;
  viewer.setProcessEnvironment(env);
  viewer.start(QStringLiteral(VELVANE_BUILD_DIR "/velvane"), {"/uninstall"});
  ASSERT_TRUE(viewer.waitForFinished(60000));
  EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(viewer.exitCode(), 1);
  const QString err = QString::fromLocal8Bit(viewer.readAllStandardError());
  EXPECT_TRUE(
      err.contains("velvane: The file associations could not be saved: " + config.File("velvane/registry-hkcu.txt")))
      << err.toStdString();
}

}  // namespace
