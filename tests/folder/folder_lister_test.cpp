// The folder list read ahead on the lister's thread against the list a scan
// makes on first use.
#include "folder/folder_lister.h"

#include "folder/file_path.h"
#include "folder_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

// Waits for the lister to finish reading folder in the order of settings.
const TFolderListing* WaitFinished(const TFolderLister& lister, const QString& folder, const TSettings& settings) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (const TFolderListing* listing = lister.Finished(folder, settings)) return listing;
    std::this_thread::sleep_for(5ms);
  }
  return nullptr;
}

// The folder list as the first use of a listing ahead leaves it.
TFolderState TakenAhead(const QString& file, const TSettings& settings, bool* bTaken = nullptr) {
  TFolderLister lister;
  lister.Start(ExtractFilePath(file), settings);
  EXPECT_NE(WaitFinished(lister, ExtractFilePath(file), settings), nullptr);
  TFolderState state;
  const bool taken = TakeListedAhead(state, file, settings, lister);
  if (bTaken) *bTaken = taken;
  return state;
}

void ExpectSameList(const TFolderState& ahead, const TFolderState& scanned) {
  EXPECT_EQ(ahead.sLastDir, scanned.sLastDir);
  EXPECT_EQ(ahead.iDirIndex, scanned.iDirIndex);
  ASSERT_EQ(ListedNames(ahead), ListedNames(scanned));
  for (std::size_t i = 0; i < ahead.lsDir.size(); ++i) {
    const TDirItem& a = ahead.lsDir[i];
    const TDirItem& s = scanned.lsDir[i];
    EXPECT_EQ(a.Info.info.Name, s.Info.info.Name);
    EXPECT_EQ(a.Info.info.Size, s.Info.info.Size);
    EXPECT_EQ(a.Info.info.Attr, s.Info.info.Attr);
    EXPECT_EQ(a.Info.fad.Attributes, s.Info.fad.Attributes);
    EXPECT_EQ(a.Info.fad.CreationTime, s.Info.fad.CreationTime);
    EXPECT_EQ(a.Info.fad.LastWriteTime, s.Info.fad.LastWriteTime);
    EXPECT_EQ(a.Info.fad.Size, s.Info.fad.Size);
    EXPECT_EQ(a.NameKey, s.NameKey) << a.Name.toStdString();
  }
}

// Old enough that a listing need not wait for the folder's times to settle.
void LetTheFolderSettle() { std::this_thread::sleep_for(120ms); }

}  // namespace

TEST(FolderLister, TheListReadAheadIsTheListAScanMakesInEveryOrder) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  TempFolder dir;
  // Mixed formats and names that are not listed.
  for (const char* name :
       {"shot.JPG", "scan.pbm", "page.tif", "web.webp", "notes.txt", "photo", "photo.jpg.bak", ".hidden.png"})
    MakeImage(dir, name, 7, 5);
  ASSERT_TRUE(QDir(dir.Path()).mkdir("folder.png"));
  ASSERT_EQ(mkfifo(QFile::encodeName(dir.File("pipe.png")).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(dir.File("nowhere.png"), dir.File("dangling.png")));
  ASSERT_TRUE(QFile::link(dir.File("shot.JPG"), dir.File("link.jpg")));
  // Equal dates and sizes, so that ties decide much of the order; accented
  // names and numbers.
  for (const char* name : {"img10.png", "IMG3.png", "img01.png", "Img1.png", "img2.png", "été 2.png", "eclair10.png",
                           "éclair9.png", "Zebra.png", "zebra.PNG"})
    MakeImage(dir, QString::fromUtf8(name), 40, 10);
  MakeImage(dir, "big.png", 90, 10);
  MakeImage(dir, "old.png", 40, 1);
  MakeImage(dir, "new.png", 3, 30);
  const QString current = dir.File("img2.png");
  LetTheFolderSettle();

  for (const std::int32_t type : {SortByName, SortByDate, SortBySize}) {
    for (const bool reversed : {false, true}) {
      const TSettings settings = SortedBy(type, reversed);
      bool bTaken = false;
      const TFolderState ahead = TakenAhead(current, settings, &bTaken);
      EXPECT_TRUE(bTaken);
      EXPECT_EQ(ahead.iAheadCount, 1);
      TFolderState scanned;
      ScanFolder(scanned, current, settings);
      SCOPED_TRACE(testing::Message() << "order " << type << (reversed ? " reversed" : ""));
      EXPECT_EQ(ahead.lsDir.size(), 18u);
      ExpectSameList(ahead, scanned);

      // Both keep their keys for the sort commands, and sort alike after one.
      TFolderState resortedAhead = ahead;
      SortFolderList(resortedAhead, current, SortedBy(SortByName, !reversed));
      SortFolderList(scanned, current, SortedBy(SortByName, !reversed));
      ExpectSameList(resortedAhead, scanned);
    }
  }
}

TEST(FolderLister, AChangeBeforeTheFirstUseIsSeenAsAScanWouldSeeIt) {
  const TSettings settings = SortedBy(SortByName);
  enum class Change { None, Add, Remove, Rename, ReplaceFolder };
  for (const Change change : {Change::None, Change::Add, Change::Remove, Change::Rename, Change::ReplaceFolder}) {
    SCOPED_TRACE(int(change));
    TempFolder parent;
    const QString folder = parent.File("photos/");
    for (const char* name : {"a.png", "b.png", "c.png"}) MakeImage(parent, QString("photos/") + name);
    const QString current = folder + "b.png";
    LetTheFolderSettle();

    TFolderLister lister;
    lister.Start(folder, settings);
    ASSERT_NE(WaitFinished(lister, folder, settings), nullptr);
    switch (change) {
      case Change::None: break;
      case Change::Add: MakeImage(parent, "photos/a2.png"); break;
      case Change::Remove: ASSERT_TRUE(QFile::remove(folder + "c.png")); break;
      case Change::Rename: ASSERT_TRUE(QFile::rename(folder + "a.png", folder + "d.png")); break;
      case Change::ReplaceFolder:
        // Another folder of the same name, with the same entries.
        ASSERT_TRUE(QDir(parent.Path()).rename("photos", "old"));
        for (const char* name : {"a.png", "b.png", "c.png"}) MakeImage(parent, QString("photos/") + name);
        break;
    }

    TFolderState state;
    EXPECT_EQ(TakeListedAhead(state, current, settings, lister), change == Change::None);
    EXPECT_EQ(lister.Finished(folder, settings), nullptr) << "the first use empties the lister";
    ScanFolder(state, current, settings);
    TFolderState scanned;
    ScanFolder(scanned, current, settings);
    ExpectSameList(state, scanned);
    EXPECT_EQ(state.iScanCount, 1);
    EXPECT_EQ(state.iAheadCount, change == Change::None ? 1 : 0);
  }
}

TEST(FolderLister, OnlyAFinishedListingOfTheFolderInTheCurrentOrderIsTaken) {
  TempFolder dir;
  MakeImage(dir, "a.png", 1, 1);
  const QString current = MakeImage(dir, "b.png", 2, 2);
  LetTheFolderSettle();
  TFolderLister lister;

  // Another order since the listing began: the first use scans.
  lister.Start(dir.Path(), SortedBy(SortByDate));
  ASSERT_NE(WaitFinished(lister, dir.Path(), SortedBy(SortByDate)), nullptr);
  TFolderState state;
  EXPECT_FALSE(TakeListedAhead(state, current, SortedBy(SortBySize), lister));
  EXPECT_EQ(lister.Finished(dir.Path(), SortedBy(SortByDate)), nullptr);
  EXPECT_TRUE(state.sLastDir.isEmpty());

  // The folder already listed: the lister is not asked.
  ScanFolder(state, current, SortedBy(SortByName));
  lister.Start(dir.Path(), SortedBy(SortByName));
  ASSERT_NE(WaitFinished(lister, dir.Path(), SortedBy(SortByName)), nullptr);
  EXPECT_FALSE(TakeListedAhead(state, current, SortedBy(SortByName), lister));
  EXPECT_NE(lister.Finished(dir.Path(), SortedBy(SortByName)), nullptr);

  // A folder that cannot be examined: the first use scans it as it would.
  lister.Start(dir.File("missing/"), SortedBy(SortByName));
  TFolderState other;
  EXPECT_FALSE(TakeListedAhead(other, dir.File("missing/x.png"), SortedBy(SortByName), lister));
  ScanFolder(other, dir.File("missing/x.png"), SortedBy(SortByName));
  EXPECT_TRUE(other.lsDir.empty());
  EXPECT_EQ(other.sLastDir, dir.File("missing/"));
}

TEST(FolderLister, ADroppedListingNeverCallsBack) {
  TempFolder dir;
  for (int i = 0; i < 200; ++i) MakeImage(dir, QString("p%1.png").arg(i));
  LetTheFolderSettle();
  std::atomic<int> calls{0};
  {
    TFolderLister lister([&calls] { ++calls; });
    lister.Start(dir.Path(), SortedBy(SortByName));
    ASSERT_NE(WaitFinished(lister, dir.Path(), SortedBy(SortByName)), nullptr);
    EXPECT_EQ(calls, 1);

    // Asked again in another order, then dropped at once, and again left
    // under way when the lister goes.
    lister.Start(dir.Path(), SortedBy(SortByDate));
    lister.Drop();
    const int afterDrop = calls;
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(calls, afterDrop);
    EXPECT_EQ(lister.Finished(dir.Path(), SortedBy(SortByDate)), nullptr);
    lister.Start(dir.Path(), SortedBy(SortBySize));
  }
  const int afterEnd = calls;
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(calls, afterEnd);
}
