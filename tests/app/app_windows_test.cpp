// The windows of a start-up: the menu opens the associations and about
// dialogs; the first run shows the associations dialog before the main window.
#include "app/app_windows.h"

#include "app/startup.h"
#include "platform/data_folder.h"
#include "platform/desktop_services.h"
#include "platform/message_box.h"
#include "settings/settings_store.h"
#include "shell/association_notice.h"
#include "shell/association_store.h"
#include "support/images.h"
#include "support/temp_folder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

class AppWindows : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.IsValid());
    previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.File("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.File("data").toLocal8Bit());
    AssociationNoticeHook() = [this] { ++notices; };
    ApplicationExeNameHook() = [] { return QStringLiteral(VELVANE_BUILD_DIR "/velvane"); };
    ASSERT_TRUE(PrepareAppState(state, QStringLiteral(VELVANE_BUILD_DIR "/"), {"/windowed", SAMPLE_IMAGE}));
    windows = std::make_unique<TAppWindows>(state, 120);
  }
  void TearDown() override {
    windows.reset();
    AssociationNoticeHook() = nullptr;
    ApplicationExeNameHook() = nullptr;
    OpenUrlHook() = nullptr;
    qputenv("XDG_CONFIG_HOME", previous);
    qunsetenv("XDG_DATA_HOME");
  }

  // Triggers a popup-menu entry the way a click does, after its menu opened.
  void ChooseMenuEntry(const char* name) {
    QAction* entry = windows->fmain.PopupMenu()->findChild<QAction*>(QLatin1String(name));
    ASSERT_NE(entry, nullptr) << name;
    for (QMenu* menu : windows->fmain.PopupMenu()->findChildren<QMenu*>()) emit menu->aboutToShow();
    emit windows->fmain.PopupMenu()->aboutToShow();
    ASSERT_TRUE(entry->isEnabled()) << name;
    entry->trigger();
  }

  // Runs check inside the next modal loop, then closes that dialog with button.
  void WhenModal(std::function<void(QWidget*)> check) {
    QTimer::singleShot(0, [check] { check(QApplication::activeModalWidget()); });
  }

  TempFolder home;
  QByteArray previous;
  TAppState state;
  std::unique_ptr<TAppWindows> windows;
  int notices = 0;
};

TEST_F(AppWindows, ShellIntegrationOpensTheAssociationsDialogOverTheMainWindow) {
  windows->fmain.show();
  bool bShown = false;
  WhenModal([&](QWidget* modal) {
    bShown = modal == &windows->fIntegration;
    EXPECT_EQ(windows->fIntegration.List()->rowCount(), 36 + ExtraFormatCount);  // the 36, then the extra formats
    windows->fIntegration.SetRowChecked(12, true);                               // JPEG
    windows->fIntegration.OkButton()->click();
  });
  ChooseMenuEntry("PMIntegration");
  EXPECT_TRUE(bShown);
  EXPECT_EQ(notices, 1);
  EXPECT_TRUE(IsFormatAssociated("JPEG"));
  EXPECT_EQ(windows->fIntegration.parentWidget(), &windows->fmain);
}

TEST_F(AppWindows, AboutShowsTitleVersionCreditsAndOpensTheWebSite) {
  TfAbout& about = windows->fAbout;
  EXPECT_EQ(about.TitleLabel()->text(), "Velvane Photo Viewer");
  EXPECT_EQ(about.VersionLabel()->text(), "Version 1.5.2");
  ASSERT_EQ(about.Tabs()->count(), 2);
  EXPECT_EQ(about.Tabs()->tabText(1), "Credits");
  const QString credits = about.Credits()->toPlainText();
  for (const char* name : {"FreeImage", "libjpeg-turbo", "pugixml", "Qt", "Little CMS", "Font Awesome",
                           "SIL Open Font License 1.1", "DejaVu"})
    EXPECT_TRUE(credits.contains(QLatin1String(name))) << name;

  // The link opens the help page that ships with the viewer; without a
  // browser, a message says so.
  QStringList opened, errors;
  bool bBrowser = true;
  OpenUrlHook() = [&](const QString& url) {
    opened << url;
    return bBrowser;
  };
  MessageBoxHooks().error = [&](const QString& text, const QString&) { errors << text; };
  bool bShown = false;
  WhenModal([&](QWidget* modal) {
    bShown = modal == &about;
    emit about.LinkLabel()->linkActivated(QStringLiteral("anything"));
    bBrowser = false;
    emit about.LinkLabel()->linkActivated(QStringLiteral("anything"));
    about.OkButton()->click();
  });
  ChooseMenuEntry("PMAbout");
  MessageBoxHooks().error = nullptr;
  EXPECT_TRUE(bShown);
  const QString page = QStringLiteral(VELVANE_BUILD_DIR "/res/help/index.html");
  EXPECT_EQ(opened, QStringList(2, QUrl::fromLocalFile(page).toString()));
  EXPECT_EQ(errors, QStringList{"No web browser could be started to show the help page, " + page + "."});

  // A viewer whose data lacks the page says so, and starts no browser.
  TfAbout unpacked(home.Path(), nullptr, 120);
  opened.clear();
  errors.clear();
  MessageBoxHooks().error = [&](const QString& text, const QString&) { errors << text; };
  unpacked.lblLinkClick();
  MessageBoxHooks().error = nullptr;
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_EQ(errors,
            QStringList{"The help page could not be found: " + home.Path() + "res/help/index.html is missing."});
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());
}

// Start-up puts the first picture on screen from this hook, before the
// dialogs exist: it must see the main window with its image and no dialog.
TEST_F(AppWindows, TheMainWindowIsReadyBeforeAnyDialogIsMade) {
  windows.reset();
  int dialogsSeen = -1;
  unsigned widthSeen = 0;
  windows = std::make_unique<TAppWindows>(state, 120, [&](Tfmain& window) {
    dialogsSeen = int(window.findChildren<QDialog*>().size());
    widthSeen = window.Bitmap().Width();
  });
  EXPECT_EQ(dialogsSeen, 0);
  EXPECT_GT(widthSeen, 0u);
  EXPECT_EQ(windows->fResizeTo.parentWidget(), &windows->fmain);
}

TEST_F(AppWindows, TheCustomSizeDialogFollowsAboutAndKeepsItsBoxesBetweenShowings) {
  QList<QDialog*> dialogs = windows->fmain.findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
  dialogs.removeIf([](QDialog* d) { return d->objectName().isEmpty(); });
  ASSERT_EQ(dialogs.size(), 3);
  EXPECT_EQ(dialogs[0], &windows->fIntegration);
  EXPECT_EQ(dialogs[1], &windows->fAbout);
  EXPECT_EQ(dialogs[2], &windows->fResizeTo);

  windows->fmain.show();
  const QString width = QString::number(windows->fmain.Bitmap().Width());
  QStringList seen;
  for (int showing = 0; showing < 2; ++showing) {
    WhenModal([&](QWidget* modal) {
      ASSERT_EQ(modal, &windows->fResizeTo);
      seen << windows->fResizeTo.seWidth->text();
      windows->fResizeTo.seWidth->setText(QStringLiteral("64"));
      QTest::keyClick(modal, Qt::Key_Escape);
    });
    ChooseMenuEntry("PM_acResizeToCustom");
  }
  EXPECT_EQ(seen, (QStringList{width, QStringLiteral("64")}));
  EXPECT_FALSE(state.bRememberResize);
}

TEST_F(AppWindows, TheFirstRunAsksBeforeTheMainWindowAndIsStoredAsDoneOnEsc) {
  ASSERT_TRUE(state.Settings.FirstRun);  // a fresh hive
  bool bAllChecked = false, bMainHidden = false;
  WhenModal([&](QWidget* modal) {
    ASSERT_EQ(modal, &windows->fIntegration);
    bMainHidden = !windows->fmain.isVisible();
    bAllChecked = windows->fIntegration.SelectAll()->isChecked();
    for (int row = 0; row < 36; ++row) bAllChecked = bAllChecked && windows->fIntegration.IsRowChecked(row);
    QTest::keyClick(modal, Qt::Key_Escape);
  });
  windows->RunFirstRun();
  EXPECT_TRUE(bAllChecked);
  EXPECT_TRUE(bMainHidden);
  EXPECT_EQ(notices, 0);
  EXPECT_FALSE(IsFormatAssociated("JPEG"));
  TSettings stored;
  ASSERT_TRUE(LoadSettings(stored));
  EXPECT_FALSE(stored.FirstRun);
  // Not again.
  windows->RunFirstRun();
  EXPECT_FALSE(windows->fIntegration.isVisible());
}

TEST_F(AppWindows, AFolderOnTheCommandLineShowsItsFirstPictureAndNextWalksIt) {
  TempFolder album;
  // Sorted by size, largest first: the stored order decides the first picture.
  const std::pair<const char*, unsigned> pictures[] = {{"small.png", 4}, {"large.png", 64}, {"middle.png", 16}};
  for (const auto& [name, side] : pictures)
    ASSERT_TRUE(testimg::Save(testimg::Solid24(side, side, 0x3070B0), FIF_PNG, album.File(name)));
  TSettings stored = state.Settings;
  stored.SortType = SortBySize;
  stored.SortReversed = true;
  SaveSettings(stored);

  TAppState folderState;
  ASSERT_TRUE(PrepareAppState(folderState, QStringLiteral(VELVANE_BUILD_DIR "/"), {"/windowed", album.Path()}));
  Tfmain window(folderState);
  window.resize(400, 300);
  window.FormPaint();
  EXPECT_EQ(folderState.sCurrentFile, album.File("large.png"));
  EXPECT_EQ(window.windowTitle(), "large.png  (64 x 64) - Velvane Photo Viewer");
  EXPECT_EQ(window.Frame().pixel(200, 150), 0xFF3070B0);
  ASSERT_TRUE(window.RunAction(window.Action("AcNext")));
  EXPECT_EQ(folderState.sCurrentFile, album.File("middle.png"));
  ASSERT_TRUE(window.RunAction(window.Action("AcNext")));
  EXPECT_EQ(folderState.sCurrentFile, album.File("small.png"));
  EXPECT_EQ(folderState.Folder.iScanCount, 1);
}

}  // namespace
