// Walking the folder, sorting, deleting, copying the path and dropping files,
// all through the real main window.
#include "tfmain_fixture.h"

#include "decoder/decoder_client.h"
#include "folder/folder_lister.h"
#include "platform/desktop_services.h"
#include "settings/settings_store.h"

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLockFile>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

namespace {

class NavigationTest : public TfmainFixture {
protected:
  void SetUp() override {
    a = Image("a.png");
    b = Image("b.png");
    c = Image("c.png");
  }
  void Drop(const QStringList& paths) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime->setUrls(urls);
    // Qt hands a drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);
    delete mime;
  }
  // Drags urls over the window and drops them; true when the window took the drag.
  bool DropUrls(const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);
    return enter.isAccepted();
  }
  // Waits, with the window alive, until its folder was read ahead.
  bool WaitForListingAhead() {
    return QTest::qWaitFor([this] { return window->FolderLister().Finished(dir.Path(), state.Settings) != nullptr; },
                           20000);
  }
  QString a, b, c;
};

TEST_F(NavigationTest, NextAndPreviousWrapRoundBothWays) {
  Open(c);
  Run("AcNext");
  EXPECT_EQ(Shown(), "a.png");
  Run("AcPrev");
  EXPECT_EQ(Shown(), "c.png");
  Run("AcNext2");
  EXPECT_EQ(Shown(), "a.png");
  Run("AcPrev2");
  EXPECT_EQ(Shown(), "c.png");
  Run("AcFirst");
  EXPECT_EQ(Shown(), "a.png");
  Run("AcLast");
  EXPECT_EQ(Shown(), "c.png");
  EXPECT_EQ(state.Folder.iScanCount, 1);
}

TEST_F(NavigationTest, TheFirstStepTakesTheFolderReadAheadAndTheNeighbourDecodedWithIt) {
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  QTest::qWait(100);  // folder times a listing can trust
  Open(b);
  const std::uint64_t sentForOpen = client.DecodesSent();
  ASSERT_TRUE(WaitForListingAhead());
  EXPECT_TRUE(state.Folder.lsDir.empty()) << "nothing is listed before the first step";
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.DecodesSent() > sentForOpen; }, 20000))
      << "the finished listing brings the decode ahead";
  const std::uint64_t sentAhead = client.DecodesSent();
  Run("AcNext");
  EXPECT_EQ(Shown(), "c.png");
  // The step takes the decode ahead; at most the file after it is sent.
  EXPECT_LE(client.DecodesSent(), sentAhead + 1);
  EXPECT_NE(QFileInfo(QString::fromStdString(client.PathUnderWay())).fileName(), QStringLiteral("c.png"));
  EXPECT_EQ(state.Folder.iAheadCount, 1);
  EXPECT_EQ(state.Folder.iScanCount, 1);
  Run("AcNext");
  EXPECT_EQ(Shown(), "a.png");
}

TEST_F(NavigationTest, AFileAddedBeforeTheFirstStepIsListedAsAScanWouldListIt) {
  QTest::qWait(100);
  Open(b);
  ASSERT_TRUE(WaitForListingAhead());
  Image("b2.png");
  Run("AcNext");
  EXPECT_EQ(Shown(), "b2.png");
  EXPECT_EQ(state.Folder.iAheadCount, 0);
  EXPECT_EQ(state.Folder.iScanCount, 1);
}

TEST_F(NavigationTest, ASortBeforeTheFirstStepReadsTheFolderAheadInTheNewOrder) {
  QTest::qWait(100);
  Open(b);
  ASSERT_TRUE(WaitForListingAhead());
  Run("AcSortByName");  // the active key again: reversed
  ASSERT_TRUE(WaitForListingAhead());
  Run("AcNext");
  EXPECT_EQ(Shown(), "a.png");
  EXPECT_EQ(state.Folder.iAheadCount, 1);
}

TEST_F(NavigationTest, ASingleImageReloadsItselfWithTheViewReset) {
  TempFolder alone;
  const QString only = alone.File("only.png");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(4, 3, 0x102030), FIF_PNG, only));
  Open(only);
  Run("AcZoomIn");
  Run("AcNext");
  EXPECT_EQ(state.sCurrentFile, only);
  EXPECT_EQ(state.View.fZoom, 1.0f);
  Run("AcPrev");
  EXPECT_EQ(state.sCurrentFile, only);
}

TEST_F(NavigationTest, ChoosingTheActiveSortKeyAgainReversesItAndEveryChoiceIsSaved) {
  Open(a);
  Run("AcSortByDate");
  EXPECT_EQ(window->Message(), "Sort by date");
  EXPECT_EQ(window->MessageTicks(), 9);
  EXPECT_FALSE(state.Settings.SortReversed);
  EXPECT_TRUE(window->Action("AcSortByDate")->Checked());
  EXPECT_FALSE(window->Action("AcSortByName")->Checked());

  Run("AcSortByDate");  // the active key again: reversed
  EXPECT_TRUE(state.Settings.SortReversed);
  Run("AcSortByName");  // another key keeps the direction
  EXPECT_EQ(state.Settings.SortType, SortByName);
  EXPECT_TRUE(state.Settings.SortReversed);
  EXPECT_EQ(window->Message(), "Sort by name");

  TSettings stored;
  ASSERT_TRUE(LoadSettings(stored));
  EXPECT_EQ(stored.SortType, SortByName);
  EXPECT_TRUE(stored.SortReversed);

  // Descending by name: from a the next step wraps to c.
  Run("AcNext");
  EXPECT_EQ(Shown(), "c.png");
}

TEST_F(NavigationTest, ASortWhileAnotherViewerSavesKeepsTheWindowResponsiveAndTheChoice) {
  Open(a);
  SaveSettings(state.Settings);  // by name, on disk
  const QString hive = TRegistryFile::DefaultPath();
  const auto storedSortType = [&hive]() -> std::int64_t {
    const TRegKey disk = TRegistryFile(hive).Read();
    const TRegKey* key = disk.FindKey({"SOFTWARE", "Norquill", "Velvane"});
    const TRegValue* value = key ? key->FindValue("SortType") : nullptr;
    return value ? std::int64_t(value->Dword) : -1;
  };
  ASSERT_EQ(storedSortType(), SortByName);

  QLockFile otherViewer(hive + ".lock");  // another viewer in the middle of a save
  ASSERT_TRUE(otherViewer.tryLock(0));
  QElapsedTimer timer;
  timer.start();
  Run("AcSortBySize");
  EXPECT_LT(timer.elapsed(), 4000);
  EXPECT_EQ(Shown(), "a.png");
  EXPECT_EQ(window->Message(), "Sort by size");
  EXPECT_EQ(storedSortType(), SortByName);  // not written yet, but kept

  otherViewer.unlock();
  TSettings loaded;
  ASSERT_TRUE(LoadSettings(loaded));  // the next use of the registry writes it
  EXPECT_EQ(loaded.SortType, SortBySize);
  EXPECT_EQ(storedSortType(), SortBySize);
}

TEST_F(NavigationTest, ToggleDirectionTwiceRestoresTheOrder) {
  Open(a);
  Run("AcToggleDirection");
  EXPECT_EQ(window->Message(), "Sort direction: Descending");
  Run("AcToggleDirection");
  EXPECT_EQ(window->Message(), "Sort direction: Ascending");
  Run("AcNext");
  EXPECT_EQ(Shown(), "b.png");
}

TEST_F(NavigationTest, DeletingTheLastItemShowsTheFirstAndNextGoesOnToTheSecond) {
  Open(a);
  Run("AcLast");
  QString asked;
  MessageBoxHooks().confirm = [&](const QString& text, const QString& caption) {
    asked = caption + ": " + text;
    return true;
  };
  Run("AcDelete");
  EXPECT_EQ(asked, "Warning: Are you sure?");
  EXPECT_FALSE(QFile::exists(c));
  EXPECT_EQ(Shown(), "a.png");
  EXPECT_EQ(state.Folder.lsDir.size(), 2u);
  EXPECT_EQ(state.Folder.iDirIndex, 0);
  Run("AcNext");
  EXPECT_EQ(Shown(), "b.png");
}

TEST_F(NavigationTest, DeletingAMiddleItemShowsTheOneAfterIt) {
  Open(a);
  Run("AcNext");
  MessageBoxHooks().confirm = [](const QString&, const QString&) { return true; };
  Run("AcDelete");
  EXPECT_FALSE(QFile::exists(b));
  EXPECT_EQ(Shown(), "c.png");
  Run("AcPrev");
  EXPECT_EQ(Shown(), "a.png");
}

TEST_F(NavigationTest, ARefusedDeleteChangesNothing) {
  Open(a);
  Run("AcNext");
  MessageBoxHooks().confirm = [](const QString&, const QString&) { return false; };
  Run("AcDelete");
  EXPECT_TRUE(QFile::exists(b));
  EXPECT_EQ(Shown(), "b.png");
  EXPECT_EQ(state.Folder.lsDir.size(), 3u);
}

TEST_F(NavigationTest, DeletingTheOnlyImageKeepsItOnScreenUntilTheNextStepClosesTheViewer) {
  TempFolder alone;
  const QString only = alone.File("only.png");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(4, 3, 0x405060), FIF_PNG, only));
  Open(only);
  MessageBoxHooks().confirm = [](const QString&, const QString&) { return true; };
  Run("AcDelete");
  EXPECT_FALSE(QFile::exists(only));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->Bitmap().IsValid());
  EXPECT_EQ(state.sCurrentFile, only);
  Run("AcNext");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(NavigationTest, CopyFilePathPutsTheFullPathOnTheClipboard) {
  Open(b);
  Run("AcCopyFilePath");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), b);
}

TEST_F(NavigationTest, DroppingThreeFilesOpensTheFirstAndNextWalksItsFolder) {
  TempFolder other;
  const QString x = other.File("x.png");
  const QString y = other.File("y.png");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(4, 3, 1), FIF_PNG, x));
  ASSERT_TRUE(testimg::Save(testimg::Solid24(4, 3, 2), FIF_PNG, y));
  Open(a);
  Run("AcNext");  // lists the first folder
  Drop({x, y, c});
  EXPECT_EQ(state.sCurrentFile, x);
  Run("AcNext");  // another folder: rescanned, and the step starts from x
  EXPECT_EQ(state.sCurrentFile, y);
}

TEST_F(NavigationTest, ADroppedFolderOpensItsFirstPictureAndNextWalksIt) {
  TempFolder other;
  ASSERT_TRUE(testimg::Save(testimg::Solid24(5, 4, 1), FIF_PNG, other.File("y.png")));
  ASSERT_TRUE(testimg::Save(testimg::Solid24(6, 4, 2), FIF_PNG, other.File("x.png")));
  Open(a);
  Drop({other.Path()});
  EXPECT_EQ(state.sCurrentFile, other.File("x.png"));
  EXPECT_EQ(window->Bitmap().Width(), 6u);
  Run("AcNext");
  EXPECT_EQ(state.sCurrentFile, other.File("y.png"));
  // A folder without pictures is taken as the path it is, as any unreadable one.
  TempFolder empty;
  Drop({empty.Path()});
  EXPECT_EQ(state.sCurrentFile, empty.Path());
}

TEST_F(NavigationTest, DroppingAFileOfTheListedFolderDoesNotMoveTheCursor) {
  Open(a);
  Run("AcNext");  // b on display, cursor at 1
  Drop({a});
  EXPECT_EQ(Shown(), "a.png");
  Run("AcNext");
  EXPECT_EQ(Shown(), "c.png");  // the file after b, not after a
}

TEST_F(NavigationTest, ALongDroppedPathIsTakenWhole) {
  QString name = QString(200, u'n') + ".png";
  QString deep = dir.Path() + QString(120, u'd') + "/";
  QDir().mkpath(deep);
  const QString path = deep + name;
  ASSERT_GT(path.size(), 300);
  ASSERT_TRUE(testimg::Save(testimg::Solid24(7, 5, 3), FIF_PNG, path));
  Open(a);
  Drop({path});
  EXPECT_EQ(state.sCurrentFile, path);
  EXPECT_EQ(window->Bitmap().Width(), 7u);
}

TEST_F(NavigationTest, ADroppedTextFileKeepsThePictureAndTakesTheCaption) {
  const QString text = dir.Write("notes.txt", "words");
  Open(a);
  Drop({text});
  EXPECT_EQ(window->windowTitle(), "notes.txt  (4 x 3) - Velvane Photo Viewer");
  EXPECT_TRUE(window->Bitmap().IsValid());
}

TEST_F(NavigationTest, APercentSignInTheFileNameReachesTheCaptionUnchanged) {
  const QString encoded = Image("sky%2C1.png");
  Open(a);
  Drop({encoded});
  EXPECT_EQ(window->windowTitle(), "sky%2C1.png  (4 x 3) - Velvane Photo Viewer");
}

TEST_F(NavigationTest, OnlyLocalFilesCountAsDroppedFiles) {
  Open(b);
  const QString caption = window->windowTitle();
  const QList<QUrl> notFiles[] = {
      {QUrl("https://www.example.com/photo.png")},
      {QUrl("ftp://example.com/a.png"), QUrl("data:image/png;base64,AAAA")},
      {QUrl("file://otherhost" + a)},  // a file of another machine
      {QUrl("file:a.png")},            // relative: no folder to read it from
      {},
  };
  for (const QList<QUrl>& urls : notFiles) {
    SCOPED_TRACE(urls.isEmpty() ? std::string("no urls") : urls.first().toString().toStdString());
    EXPECT_FALSE(DropUrls(urls));  // the cursor tells the user at once
    EXPECT_EQ(state.sCurrentFile, b);
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_TRUE(window->Bitmap().IsValid());
  }
  Run("AcNext");
  EXPECT_EQ(Shown(), "c.png");  // the walk goes on from the picture on display

  // Among other things dropped, the first local file is the dropped file.
  EXPECT_TRUE(DropUrls({QUrl("https://www.example.com/x.png"), QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}));
  EXPECT_EQ(state.sCurrentFile, a);
  EXPECT_TRUE(DropUrls({QUrl("file://localhost" + b)}));
  EXPECT_EQ(state.sCurrentFile, b);
}

TEST_F(NavigationTest, HelpOpensTheShippedHelpPageInTheBrowser) {
  QString opened;
  OpenUrlHook() = [&](const QString& url) {
    opened = url;
    return true;
  };
  Open(a);
  QAction* help = window->PopupMenu()->findChild<QAction*>("Help1");
  ASSERT_NE(help, nullptr);
  help->trigger();
  OpenUrlHook() = nullptr;
  EXPECT_EQ(opened, QUrl::fromLocalFile(QStringLiteral(VELVANE_BUILD_DIR "/res/help/index.html")).toString());
  EXPECT_TRUE(QFileInfo(QUrl(opened).toLocalFile()).isFile());
}

TEST_F(NavigationTest, AMessageDisappearsOnTheNinthTickWithARepaint) {
  Open(a);
  window->FlashMessage("Hello", 900);
  window->FormPaint();
  const QImage withMessage = window->Frame();
  for (int tick = 1; tick <= 8; ++tick) {
    window->Timer1Timer();
    EXPECT_EQ(window->Message(), "Hello") << "tick " << tick;
  }
  window->Timer1Timer();
  EXPECT_TRUE(window->Message().isEmpty());
  EXPECT_NE(window->Frame(), withMessage);  // repainted without it

  window->FlashMessage("Too short", 99);  // a count of 0 is never shown
  EXPECT_EQ(window->MessageTicks(), 0);
}

TEST_F(NavigationTest, FileInfoTwiceReturnsThePlainPicture) {
  Open(a);
  window->FormPaint();
  const QImage plain = window->Frame();
  Run("AcFileInfo");
  EXPECT_TRUE(state.bShowFileInfo);
  EXPECT_NE(window->Frame(), plain);
  Run("AcFileInfo");
  EXPECT_EQ(window->Frame(), plain);
}

}  // namespace
