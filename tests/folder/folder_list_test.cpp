#include "folder/folder_list.h"

#include "folder_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>

#include <sys/stat.h>

TEST(ScanFolder, ListsSupportedRegularVisibleFilesOnly) {
  TempFolder dir;
  for (const char* name : {"photo.JPG", "photo.jpeg", "photo.Jpe", "scan.pbm", "photo.jpg.bak", "photo", "photo.",
                           ".png", ".hidden.png", "notes.txt"})
    MakeImage(dir, name);
  ASSERT_TRUE(QDir(dir.Path()).mkdir("x.png"));
  ASSERT_EQ(mkfifo(QFile::encodeName(dir.File("f.png")).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(dir.File("nowhere.png"), dir.File("dangling.png")));

  TFolderState state;
  ScanFolder(state, dir.File("photo.JPG"), SortedBy(SortByName));
  EXPECT_EQ(ListedNames(state), QStringList({"photo.Jpe", "photo.jpeg", "photo.JPG", "scan.pbm"}));
  EXPECT_EQ(state.sLastDir, dir.Path());
  EXPECT_EQ(state.iDirIndex, 2);
  EXPECT_EQ(state.iScanCount, 1);
  for (const TDirItem& item : state.lsDir) {
    EXPECT_EQ(item.Info.info.Name, item.Name);
    EXPECT_GT(item.Info.fad.LastWriteTime, 0);
  }
}

TEST(ScanFolder, SortsByNameDateAndSizeInBothDirections) {
  TempFolder dir;
  // name order img1 img2 IMG3 img10; date order img2 img10 img1 IMG3;
  // size order IMG3 img10 img2 img1.
  MakeImage(dir, "img10.png", 30, 20);
  MakeImage(dir, "IMG3.png", 10, 40);
  MakeImage(dir, "img1.png", 50, 30);
  const QString current = MakeImage(dir, "img2.png", 40, 10);

  struct Case {
    std::int32_t type;
    bool reversed;
    QStringList order;
  };
  const Case cases[] = {
      {SortByName, false, {"img1.png", "img2.png", "IMG3.png", "img10.png"}},
      {SortByName, true, {"img10.png", "IMG3.png", "img2.png", "img1.png"}},
      {SortByDate, false, {"img2.png", "img10.png", "img1.png", "IMG3.png"}},
      {SortByDate, true, {"IMG3.png", "img1.png", "img10.png", "img2.png"}},
      {SortBySize, false, {"IMG3.png", "img10.png", "img2.png", "img1.png"}},
      {SortBySize, true, {"img1.png", "img2.png", "img10.png", "IMG3.png"}},
  };
  TFolderState state;
  ScanFolder(state, current, SortedBy(SortByName));
  for (const Case& c : cases) {
    SortFolderList(state, current, SortedBy(c.type, c.reversed));
    EXPECT_EQ(ListedNames(state), c.order) << c.type << " " << c.reversed;
    EXPECT_EQ(state.iDirIndex, c.order.indexOf("img2.png"));
  }
  EXPECT_EQ(state.iScanCount, 1) << "sorting never reads the folder";

  // Any other key leaves every pair equal.
  EXPECT_EQ(CompareFolderEntries(state.lsDir, 0, 1, SortedBy(7)), 0);
  SortFolderList(state, current, SortedBy(SortBySize));
  EXPECT_EQ(CompareFolderEntries(state.lsDir, 0, 1, SortedBy(SortBySize)), -1);
  EXPECT_EQ(CompareFolderEntries(state.lsDir, 0, 1, SortedBy(SortBySize, true)), 1);
  EXPECT_EQ(CompareFolderEntries(state.lsDir, 2, 2, SortedBy(SortByDate)), 0);
}

TEST(SortFolderList, NamesFollowTheLettersOfTheLocaleAndKeepTiesInFolderOrder) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  TFolderState state;
  for (const char* name :
       {"Zebra.png", "b.PNG", "été 2.png", "eclair10.png", "B.png", "éclair.png", "eclair9.png", "a.png"})
    state.lsDir.push_back(TDirItem{QString::fromUtf8(name), {}});
  const QStringList ascending = {"a.png",
                                 "b.PNG",
                                 "B.png",
                                 QString::fromUtf8("éclair.png"),
                                 "eclair9.png",
                                 "eclair10.png",
                                 QString::fromUtf8("été 2.png"),
                                 "Zebra.png"};
  SortFolderList(state, "/x/eclair9.png", SortedBy(SortByName));
  EXPECT_EQ(ListedNames(state), ascending);
  EXPECT_EQ(state.iDirIndex, 4);

  // Reversed, the names equal apart from case still keep their folder order.
  SortFolderList(state, "/x/eclair9.png", SortedBy(SortByName, true));
  const QStringList descending = {"Zebra.png",
                                  QString::fromUtf8("été 2.png"),
                                  "eclair10.png",
                                  "eclair9.png",
                                  QString::fromUtf8("éclair.png"),
                                  "b.PNG",
                                  "B.png",
                                  "a.png"};
  EXPECT_EQ(ListedNames(state), descending);
  EXPECT_EQ(state.iDirIndex, 3);
  for (std::size_t i = 0; i + 1 < state.lsDir.size(); ++i)
    EXPECT_LE(CompareFolderEntries(state.lsDir, int(i), int(i + 1), SortedBy(SortByName, true)), 0) << i;
}

TEST(ScanFolder, CursorIsZeroUnlessTheNameMatchesExactly) {
  TempFolder dir;
  MakeImage(dir, "a.png");
  MakeImage(dir, "b.png");
  MakeImage(dir, "notes.txt");

  TFolderState state;
  ScanFolder(state, dir.File("B.png"), SortedBy(SortByName));
  EXPECT_EQ(state.iDirIndex, 0);

  state = TFolderState{};
  ScanFolder(state, dir.File("notes.txt"), SortedBy(SortByName));
  EXPECT_EQ(state.iDirIndex, 0);
  SortFolderList(state, dir.File("b.png"), SortedBy(SortByName));
  EXPECT_EQ(state.iDirIndex, 1);
}

TEST(ScanFolder, ReadsEachFolderOnceUntilTheFolderChanges) {
  TempFolder dir;
  MakeImage(dir, "a.png");
  const QString file = MakeImage(dir, "b.png");
  TFolderState state;
  const TSettings settings = SortedBy(SortByName);

  for (int i = 0; i < 50; ++i) ScanFolder(state, file, settings);
  EXPECT_EQ(state.iScanCount, 1);

  // Files added later go unnoticed while the folder stays the same.
  MakeImage(dir, "c.png");
  ScanFolder(state, file, settings);
  EXPECT_EQ(state.lsDir.size(), 2u);

  // No folder part: nothing happens at all.
  ScanFolder(state, "b.png", settings);
  EXPECT_EQ(state.iScanCount, 1);
  EXPECT_EQ(state.sLastDir, dir.Path());

  // The folder comparison is exact: another spelling is another folder.
  TempFolder other;
  ScanFolder(state, other.File("x.png"), settings);
  EXPECT_EQ(state.iScanCount, 2);
  EXPECT_TRUE(state.lsDir.empty());
  ScanFolder(state, file, settings);
  EXPECT_EQ(state.iScanCount, 3);
  EXPECT_EQ(state.lsDir.size(), 3u);
  ScanFolder(state, dir.Path() + "./b.png", settings);
  EXPECT_EQ(state.iScanCount, 4);
}

TEST(ScanFolder, VanishedFolderGivesAnEmptyListAndIsNotRetried) {
  TempFolder dir;
  const QString kept = MakeImage(dir, "a.png");
  const QString lost = MakeImage(dir, "sub/b.png");
  TFolderState state;
  ScanFolder(state, kept, SortedBy(SortByName));
  ASSERT_EQ(state.lsDir.size(), 1u);

  ASSERT_TRUE(QDir(dir.File("sub")).removeRecursively());
  state.iDirIndex = 3;
  ScanFolder(state, lost, SortedBy(SortByName));
  EXPECT_TRUE(state.lsDir.empty());
  EXPECT_EQ(state.sLastDir, dir.File("sub/"));
  EXPECT_EQ(state.iDirIndex, 0);
  ScanFolder(state, lost, SortedBy(SortByName));
  EXPECT_EQ(state.iScanCount, 2);

  // Re-sorting the empty list keeps the cursor at 0.
  state.iDirIndex = 5;
  SortFolderList(state, lost, SortedBy(SortByDate, true));
  EXPECT_EQ(state.iDirIndex, 0);
}
