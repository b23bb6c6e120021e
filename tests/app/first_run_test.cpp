// The start-up of a first run whose first picture takes long to decode: the
// main window stays hidden until the associations dialog has closed, and a
// Quit asked for during the load ends the viewer after the dialog.
#include "app/run_viewer.h"
#include "app/startup.h"

#include "../decoder/hostile_files.h"
#include "settings/settings_store.h"
#include "shell/association_notice.h"
#include "shell/association_store.h"
#include "shell/tfintegration.h"
#include "support/temp_folder.h"
#include "viewer/tfmain.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

Tfmain* MainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<Tfmain*>(w)) return window;
  return nullptr;
}

TEST(FirstRunStartUp, AQuitDuringASlowFirstPictureEndsTheViewerAfterTheDialog) {
  TempFolder home;
  ASSERT_TRUE(home.IsValid());
  const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", home.File("config").toLocal8Bit());
  AssociationNoticeHook() = [] {};
  const QString slow = home.Write("slow.jpg", hostile::JpegWithEmptyScans(2048, 2048, 20000));
  TAppState state;
  ASSERT_TRUE(PrepareAppState(state, QStringLiteral(VELVANE_BUILD_DIR "/"), {"/windowed", slow}));
  ASSERT_TRUE(state.Settings.FirstRun);

  bool bWaiting = false, bShownDuringLoad = true, bDialog = false, bShownWithDialog = true;
  QTimer::singleShot(400, [&] {
    Tfmain* window = MainWindow();
    ASSERT_NE(window, nullptr);
    bWaiting = window->WaitingForDecode();
    bShownDuringLoad = window->isVisible();
    QTest::keyClick(window, Qt::Key_Escape);  // the Quit hotkey
  });
  // Answers the dialog from inside its own modal loop.
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<TfIntegration*>(QApplication::activeModalWidget());
    if (!dialog) return;
    answer.stop();
    bDialog = true;
    bShownWithDialog = MainWindow() && MainWindow()->isVisible();
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  answer.start();
  // A viewer left without a window would never return.
  QTimer stuck;
  stuck.setSingleShot(true);
  QObject::connect(&stuck, &QTimer::timeout, [] { QApplication::exit(99); });
  stuck.start(15000);

  const int code = RunViewer(state, QStringLiteral(VELVANE_BUILD_DIR "/"));
  stuck.stop();
  answer.stop();
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(bWaiting);
  EXPECT_FALSE(bShownDuringLoad);
  EXPECT_TRUE(bDialog);
  EXPECT_FALSE(bShownWithDialog);
  TSettings stored;
  ASSERT_TRUE(LoadSettings(stored));
  EXPECT_FALSE(stored.FirstRun);
  EXPECT_EQ(MainWindow(), nullptr);

  AssociationNoticeHook() = nullptr;
  qputenv("XDG_CONFIG_HOME", previous);
}

}  // namespace
