#include "folder/navigation.h"

#include "folder/folder_argument.h"

#include "folder/file_path.h"
#include "folder/formats.h"
#include "folder_fixture.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

const TSettings ByName = SortedBy(SortByName);

// The supported names of folder in the file system's own order, which the
// fallback walks follow.
QStringList SupportedInFolderOrder(const QString& folder) {
  std::vector<TDirEntry> entries;
  EnumerateFolder(folder, entries);
  QStringList names;
  for (const TDirEntry& e : entries)
    if (IsSupportedExtension(ExtractFileExt(e.Name))) names << e.Name;
  return names;
}

QStringList AllInFolderOrder(const QString& folder) {
  std::vector<TDirEntry> entries;
  EnumerateFolder(folder, entries);
  QStringList names;
  for (const TDirEntry& e : entries) names << e.Name;
  return names;
}

}  // namespace

TEST(Navigation, WrapsRoundBothWays) {
  TempFolder dir;
  const QString a = MakeImage(dir, "A.png");
  const QString b = MakeImage(dir, "B.png");
  const QString c = MakeImage(dir, "C.png");
  MakeImage(dir, "D.txt");
  TFolderState state;

  EXPECT_EQ(GetNextFile(state, c, ByName), a);
  EXPECT_EQ(state.iDirIndex, 0);
  EXPECT_EQ(GetPrevFile(state, a, ByName), c);
  EXPECT_EQ(GetPrevFile(state, c, ByName), b);
  EXPECT_EQ(GetNextFile(state, b, ByName), c);
  EXPECT_EQ(GetFirstFile(state, c, ByName), a);
  EXPECT_EQ(state.iDirIndex, 0);
  EXPECT_EQ(GetLastFile(state, a, ByName), c);
  EXPECT_EQ(state.iDirIndex, 2);
  EXPECT_EQ(state.iScanCount, 1);

  // A cursor left out of range still yields a listed file.
  state.iDirIndex = 99;
  EXPECT_EQ(GetNextFile(state, c, ByName), b);
  state.iDirIndex = -7;
  EXPECT_EQ(GetNextFile(state, c, ByName), a);
  state.iDirIndex = 99;
  EXPECT_EQ(GetPrevFile(state, c, ByName), c);
}

TEST(Navigation, PeeksSeveralStepsAheadWithoutComingBackToTheStart) {
  TDirList list(3);
  list[0].Name = "a", list[1].Name = "b", list[2].Name = "c";
  EXPECT_EQ(PeekSteps(list, 0, "/f/", +1, 2), QStringList({"/f/b", "/f/c"}));
  EXPECT_EQ(PeekSteps(list, 0, "/f/", -1, 2), QStringList({"/f/c", "/f/b"}));
  EXPECT_EQ(PeekSteps(list, 1, "/f/", +1, 5), QStringList({"/f/c", "/f/a"}));
  // Not listed (a file gone meanwhile): each listed one at most once.
  EXPECT_EQ(PeekSteps(TDirList(list.begin(), list.begin() + 1), -1, "/f/", +1, 2), QStringList({"/f/a"}));
  EXPECT_TRUE(PeekSteps({}, 0, "/f/", +1, 2).isEmpty());
}

TEST(Navigation, SingleImageComesBackToItself) {
  TempFolder dir;
  const QString only = MakeImage(dir, "only.jpg");
  TFolderState state;
  EXPECT_EQ(GetNextFile(state, only, ByName), only);
  EXPECT_EQ(GetPrevFile(state, only, ByName), only);
  EXPECT_EQ(GetNextFile(state, only, ByName), only);
}

TEST(Navigation, PathWithoutFolderGivesNothing) {
  TFolderState state;
  EXPECT_EQ(GetNextFile(state, "photo.jpg", ByName), "");
  EXPECT_EQ(GetPrevFile(state, "photo.jpg", ByName), "");
  EXPECT_EQ(GetFirstFile(state, "photo.jpg", ByName), "");
  EXPECT_EQ(GetLastFile(state, "", ByName), "");
  EXPECT_EQ(state.iScanCount, 0);
}

// The cursor follows the navigation, not a file opened in between: a file of
// the listed folder that was dropped on the window does not move it.
TEST(Navigation, StepsFromTheCursorAndRescansAnotherFolder) {
  TempFolder dir;
  const QString a = MakeImage(dir, "a.png");
  const QString b = MakeImage(dir, "b.png");
  const QString c = MakeImage(dir, "c.png");
  TFolderState state;
  EXPECT_EQ(GetFirstFile(state, b, ByName), a);
  EXPECT_EQ(GetNextFile(state, c, ByName), b);

  TempFolder other;
  MakeImage(other, "x1.png");
  const QString x2 = MakeImage(other, "x2.png");
  const QString x3 = MakeImage(other, "x3.png");
  EXPECT_EQ(GetNextFile(state, x2, ByName), x3);
  EXPECT_EQ(state.iScanCount, 2);
}

// With an empty list (here: the folder held no images when it was read) the
// routines walk the folder itself.
TEST(Navigation, FallsBackToTheFolderWhenTheListIsEmpty) {
  TempFolder dir;
  const QString notes = MakeImage(dir, "notes.txt");
  TFolderState state;
  EXPECT_EQ(GetNextFile(state, notes, ByName), "");
  EXPECT_EQ(GetFirstFile(state, notes, ByName), "");
  EXPECT_EQ(GetLastFile(state, notes, ByName), "");
  ASSERT_TRUE(state.lsDir.empty());

  for (const char* name : {"a.png", "b.bmp", "c.gif", "readme.md", "d.JPG"}) MakeImage(dir, name);
  const QStringList all = AllInFolderOrder(dir.Path());
  const QStringList images = SupportedInFolderOrder(dir.Path());
  ASSERT_EQ(images.size(), 4);

  EXPECT_EQ(GetFirstFile(state, notes, ByName), dir.File(images.first()));
  EXPECT_EQ(GetLastFile(state, notes, ByName), dir.File(images.last()));

  // Next and previous: the supported neighbours of each entry in the
  // enumeration, or nothing past either end.
  for (qsizetype i = 0; i < all.size(); ++i) {
    QString expectedNext, expectedPrev;
    for (qsizetype j = i + 1; j < all.size() && expectedNext.isEmpty(); ++j)
      if (images.contains(all[j])) expectedNext = dir.File(all[j]);
    for (qsizetype j = i - 1; j >= 0 && expectedPrev.isEmpty(); --j)
      if (images.contains(all[j])) expectedPrev = dir.File(all[j]);
    EXPECT_EQ(GetNextFile(state, dir.File(all[i]), ByName), expectedNext) << all[i].toStdString();
    EXPECT_EQ(GetPrevFile(state, dir.File(all[i]), ByName), expectedPrev) << all[i].toStdString();
  }
  // A file that is not in the folder (here: spelt in another case) is never met.
  EXPECT_EQ(GetNextFile(state, dir.File("NOTES.txt"), ByName), "");
  EXPECT_EQ(GetPrevFile(state, dir.File("NOTES.txt"), ByName), "");
  EXPECT_TRUE(state.lsDir.empty());
  EXPECT_EQ(state.iScanCount, 1);

  // A folder that is gone yields nothing either way.
  ASSERT_TRUE(QDir(dir.Path()).removeRecursively());
  for (auto* route : {GetNextFile, GetPrevFile, GetFirstFile, GetLastFile}) EXPECT_EQ(route(state, notes, ByName), "");
}

// The window shows the next image, deletes the file, then does this
// bookkeeping; these tests play that sequence.
TEST(ForgetDeletedFile, LastItemThenNextShowsTheSecond) {
  TempFolder dir;
  const QString a = MakeImage(dir, "a.png");
  const QString b = MakeImage(dir, "b.png");
  const QString c = MakeImage(dir, "c.png");
  TFolderState state;
  ASSERT_EQ(GetLastFile(state, a, ByName), c);

  EXPECT_EQ(GetNextFile(state, c, ByName), a);
  ASSERT_TRUE(QFile::remove(c));
  ForgetDeletedFile(state, c);
  EXPECT_EQ(ListedNames(state), QStringList({"a.png", "b.png"}));
  EXPECT_EQ(state.iDirIndex, 0);
  EXPECT_EQ(GetNextFile(state, a, ByName), b);
}

TEST(ForgetDeletedFile, MiddleItemKeepsTheCursorOnTheShownImage) {
  TempFolder dir;
  const QString a = MakeImage(dir, "a.png");
  const QString b = MakeImage(dir, "b.png");
  const QString c = MakeImage(dir, "c.png");
  TFolderState state;
  ASSERT_EQ(GetNextFile(state, a, ByName), b);

  EXPECT_EQ(GetNextFile(state, b, ByName), c);
  ForgetDeletedFile(state, b);
  EXPECT_EQ(ListedNames(state), QStringList({"a.png", "c.png"}));
  EXPECT_EQ(state.iDirIndex, 1);
  EXPECT_EQ(GetPrevFile(state, c, ByName), a);
}

TEST(ForgetDeletedFile, OnlyItemLeavesNothingToShow) {
  TempFolder dir;
  const QString only = MakeImage(dir, "only.png");
  TFolderState state;
  EXPECT_EQ(GetNextFile(state, only, ByName), only);
  ASSERT_TRUE(QFile::remove(only));
  ForgetDeletedFile(state, only);
  EXPECT_TRUE(state.lsDir.empty());
  EXPECT_EQ(state.iDirIndex, 0);
  for (auto* route : {GetNextFile, GetPrevFile, GetFirstFile, GetLastFile}) EXPECT_EQ(route(state, only, ByName), "");
}

TEST(ForgetDeletedFile, MatchesNamesWithoutRegardToCase) {
  TFolderState state;
  state.lsDir = {TDirItem{"a.png", {}}, TDirItem{"Photo.JPG", {}}, TDirItem{"z.png", {}}};
  state.iDirIndex = 2;
  ForgetDeletedFile(state, "/pics/photo.jpg");
  EXPECT_EQ(ListedNames(state), QStringList({"a.png", "z.png"}));
  EXPECT_EQ(state.iDirIndex, 1);

  // Nothing matches: the list stays, the cursor still moves up (not below 0).
  ForgetDeletedFile(state, "/pics/other.png");
  EXPECT_EQ(ListedNames(state), QStringList({"a.png", "z.png"}));
  EXPECT_EQ(state.iDirIndex, 0);
  ForgetDeletedFile(state, "/pics/other.png");
  EXPECT_EQ(state.iDirIndex, 0);
}

// Names that differ only in case are two files here; the exact one goes.
TEST(ForgetDeletedFile, PrefersTheExactNameOnACaseSensitiveFileSystem) {
  for (const QStringList& order : {QStringList{"a.jpg", "A.jpg"}, QStringList{"A.jpg", "a.jpg"}}) {
    TFolderState state;
    for (const QString& name : order) state.lsDir.push_back(TDirItem{name, {}});
    ForgetDeletedFile(state, "/pics/a.jpg");
    EXPECT_EQ(ListedNames(state), QStringList({"A.jpg"}));
  }
  // Without an exact match the last item equal apart from case goes.
  TFolderState state;
  for (const char* name : {"a.JPG", "b.png", "A.jpg"}) state.lsDir.push_back(TDirItem{name, {}});
  ForgetDeletedFile(state, "/pics/a.jpg");
  EXPECT_EQ(ListedNames(state), QStringList({"a.JPG", "b.png"}));
}

TEST(Navigation, AFolderGivenAsThePictureOpensItsFirstInTheSortOrder) {
  TempFolder dir;
  const QString album = dir.Path() + "album";
  ASSERT_TRUE(QDir().mkpath(album));
  MakeImage(dir, "album/b.png", 30);
  MakeImage(dir, "album/a.png", 10);
  MakeImage(dir, "album/c.png", 20);
  MakeImage(dir, "album/notes.txt", 99);

  TFolderState state;
  EXPECT_EQ(PictureToOpen(state, album, ByName), album + "/a.png");
  EXPECT_EQ(ListedNames(state), (QStringList{"a.png", "b.png", "c.png"}));
  EXPECT_EQ(state.iDirIndex, 0);
  // The list is the folder's: the next step goes on inside it without reading it again.
  EXPECT_EQ(GetNextFile(state, album + "/a.png", ByName), album + "/b.png");
  EXPECT_EQ(state.iScanCount, 1);

  TFolderState bySize;
  EXPECT_EQ(PictureToOpen(bySize, album + "/", SortedBy(SortBySize, true)), album + "/b.png");

  // Anything else is opened as it is, and the list stays as it was.
  const QString empty = dir.Path() + "empty";
  ASSERT_TRUE(QDir().mkpath(empty));
  MakeImage(dir, "empty/readme.txt");
  EXPECT_EQ(PictureToOpen(state, empty, ByName), empty);
  EXPECT_EQ(PictureToOpen(state, album + "/c.png", ByName), album + "/c.png");
  EXPECT_EQ(PictureToOpen(state, dir.Path() + "missing", ByName), dir.Path() + "missing");
  EXPECT_EQ(state.sLastDir, album + "/");
  EXPECT_EQ(state.iDirIndex, 1);
}
