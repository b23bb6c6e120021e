// Deleting into the freedesktop.org Trash, and for good where there is none.
#include "platform/trash.h"

#include "support/private_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class TrashTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(photos.IsValid());
    photo = photos.Write("holiday photos/a b%.jpg", "not really a jpeg");
    previousCwd = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(home.Root().File("cwd")));
    ASSERT_TRUE(QDir::setCurrent(home.Root().File("cwd")));
  }
  void TearDown() override { QDir::setCurrent(previousCwd); }

  QStringList CwdEntries() const {
    return QDir(home.Root().File("cwd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }

  PrivateHome home;
  TempFolder photos;
  QString photo;
  QString previousCwd;
};

// With no data folder yet, Qt would take the current folder for the trash.
TEST_F(TrashTest, AFileGoesToTheHomeTrashOfAFreshDataFolderWithItsTrashInfo) {
  ASSERT_FALSE(QFileInfo::exists(home.DataHome()));
  EXPECT_EQ(TrashFolderFor(photo), QDir::cleanPath(home.Trash()));

  const TDeleteResult result = MoveToTrash(photo);
  ASSERT_TRUE(result.bDone) << result.sError.toStdString();
  EXPECT_FALSE(QFileInfo::exists(photo));
  EXPECT_TRUE(CwdEntries().isEmpty()) << CwdEntries().join(' ').toStdString();
  EXPECT_EQ(QFileInfo(home.DataHome()).permissions() & 0x0077, 0) << "the data folder is created private";

  const QString trashed = home.Trash() + "/files/a b%.jpg";
  QFile content(trashed);
  ASSERT_TRUE(content.open(QIODevice::ReadOnly)) << trashed.toStdString();
  EXPECT_EQ(content.readAll(), "not really a jpeg");
  QFile info(home.Trash() + "/info/a b%.jpg.trashinfo");
  ASSERT_TRUE(info.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(info.readAll());
  EXPECT_TRUE(text.startsWith("[Trash Info]\n")) << text.toStdString();
  // The original path, percent-encoded, so that "restore" puts it back.
  const QString encoded = QString::fromUtf8(QUrl::toPercentEncoding(QFileInfo(photo).absoluteFilePath(), "/"));
  EXPECT_TRUE(text.contains("\nPath=" + encoded + "\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nDeletionDate=20")) << text.toStdString();
  EXPECT_TRUE(IsInTrashFolderOf(trashed, QFileInfo(photo).absolutePath()));

  // A second file of the same name does not replace the first.
  photos.Write("holiday photos/a b%.jpg", "second");
  ASSERT_TRUE(MoveToTrash(photo).bDone);
  EXPECT_EQ(QDir(home.Trash() + "/files").entryList(QDir::Files).size(), 2);
  QFile first(trashed);
  ASSERT_TRUE(first.open(QIODevice::ReadOnly));
  EXPECT_EQ(first.readAll(), "not really a jpeg");
}

TEST_F(TrashTest, WithoutAPlaceForTheHomeTrashThereIsNoTrashAndNothingMoves) {
  // The data folder would have to be made inside a regular file.
  home.Root().Write("blocker", "x");
  home.SetDataHome(home.Root().File("blocker/share"));
  EXPECT_TRUE(TrashFolderFor(photo).isEmpty());
  const TDeleteResult refused = MoveToTrash(photo);
  EXPECT_FALSE(refused.bDone);
  EXPECT_FALSE(refused.sError.isEmpty());
  EXPECT_TRUE(QFileInfo::exists(photo));
  EXPECT_TRUE(CwdEntries().isEmpty()) << CwdEntries().join(' ').toStdString();

  // A data folder given as a relative path is no place either.
  home.SetDataHome("relative/share");
  EXPECT_TRUE(TrashFolderFor(photo).isEmpty());
  EXPECT_FALSE(MoveToTrash(photo).bDone);
  EXPECT_TRUE(QFileInfo::exists(photo));
  EXPECT_TRUE(CwdEntries().isEmpty()) << CwdEntries().join(' ').toStdString();

  // The fallback: deleted for good.
  const TDeleteResult removed = DeletePermanently(photo);
  EXPECT_TRUE(removed.bDone) << removed.sError.toStdString();
  EXPECT_FALSE(QFileInfo::exists(photo));
}

TEST_F(TrashTest, AFileThatIsGoneFailsAndReportsWhy) {
  ASSERT_TRUE(QFile::remove(photo));
  for (const TDeleteResult& r : {MoveToTrash(photo), DeletePermanently(photo)}) {
    EXPECT_FALSE(r.bDone);
    EXPECT_FALSE(r.sError.isEmpty());
  }
  EXPECT_FALSE(QFileInfo::exists(home.Trash() + "/info"));
}

// What a move must have reached to count as trashed.
TEST_F(TrashTest, OnlyTheFilesFolderOfARealTrashWithTheTrashInfoCounts) {
  const QString folder = QFileInfo(photo).absolutePath();
  const QString trash = home.Trash();
  ASSERT_TRUE(QDir().mkpath(trash + "/files"));
  ASSERT_TRUE(QDir().mkpath(trash + "/info"));
  home.Root().Write("data/share/Trash/files/x.jpg", "x");
  EXPECT_FALSE(IsInTrashFolderOf(trash + "/files/x.jpg", folder)) << "no .trashinfo";
  home.Root().Write("data/share/Trash/info/x.jpg.trashinfo", "[Trash Info]\n");
  EXPECT_TRUE(IsInTrashFolderOf(trash + "/files/x.jpg", folder));
  EXPECT_FALSE(IsInTrashFolderOf("files/x.jpg", folder)) << "relative";

  // The same layout anywhere else, such as the current folder, is no trash.
  home.Root().Write("cwd/files/y.jpg", "y");
  home.Root().Write("cwd/info/y.jpg.trashinfo", "[Trash Info]\n");
  EXPECT_FALSE(IsInTrashFolderOf(home.Root().File("cwd/files/y.jpg"), folder));
}

}  // namespace
