// Delete through the real main window: into the Trash, for good only where
// there is none and the question says so, and a failure that keeps the file.
#include "tfmain_fixture.h"

#include "support/file_access_as_nobody.h"
#include "support/scratch_mount.h"

#include <QDir>

#include <sys/stat.h>

namespace {

class DeleteTest : public TfmainFixture {
protected:
  void SetUp() override {
    a = Image("a.png");
    b = Image("b.png");
    c = Image("c.png");
    MessageBoxHooks().confirm = [this](const QString& text, const QString& caption) {
      asked << caption + ": " + text;
      return answer;
    };
    MessageBoxHooks().error = [this](const QString& text, const QString&) { errors << text; };
    Open(a);
    Run("AcNext");  // b on display, the folder listed
  }

  QStringList Trashed() const { return QDir(home.Trash() + "/files").entryList(QDir::Files); }

  QString a, b, c;
  bool answer = true;
  QStringList asked, errors;
};

TEST_F(DeleteTest, DeleteMovesTheFileToTheTrashAndShowsTheNextImage) {
  Run("AcDelete");
  EXPECT_EQ(asked, QStringList{"Warning: Are you sure?"});
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  EXPECT_FALSE(QFile::exists(b));
  EXPECT_EQ(Trashed(), QStringList{"b.png"});
  EXPECT_TRUE(QFile::exists(home.Trash() + "/info/b.png.trashinfo"));
  EXPECT_EQ(Shown(), "c.png");
  EXPECT_EQ(state.Folder.lsDir.size(), 2u);
  Run("AcPrev");
  EXPECT_EQ(Shown(), "a.png");
}

TEST_F(DeleteTest, WithoutATrashTheQuestionSaysPermanentlyAndOnlyOkRemovesTheFile) {
  home.Root().Write("blocker", "x");
  home.SetDataHome(home.Root().File("blocker/share"));
  answer = false;
  Run("AcDelete");
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].startsWith("Warning: ")) << asked[0].toStdString();
  EXPECT_TRUE(asked[0].contains("deleted permanently")) << asked[0].toStdString();
  EXPECT_TRUE(QFile::exists(b));
  EXPECT_EQ(Shown(), "b.png");

  answer = true;
  Run("AcDelete");
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  EXPECT_FALSE(QFile::exists(b));
  EXPECT_FALSE(QFileInfo::exists(home.Root().File("blocker/share")));
  EXPECT_EQ(Shown(), "c.png");
  EXPECT_EQ(state.Folder.lsDir.size(), 2u);
}

// The file vanished behind the viewer's back: nothing to ask about.
TEST_F(DeleteTest, AFileThatIsGoneIsReportedWithoutAQuestionAndStaysListedAndOnScreen) {
  ASSERT_TRUE(QFile::remove(b));
  const int index = state.Folder.iDirIndex;
  Run("AcDelete");
  EXPECT_TRUE(asked.isEmpty()) << asked.join('\n').toStdString();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors[0], "b.png cannot be deleted: the file is gone.");
  EXPECT_EQ(Shown(), "b.png");
  EXPECT_TRUE(window->Bitmap().IsValid());
  EXPECT_EQ(state.Folder.lsDir.size(), 3u);
  EXPECT_EQ(state.Folder.iDirIndex, index);
  Run("AcNext");
  EXPECT_EQ(Shown(), "c.png");
}

// A file that can neither go to a Trash nor be removed is not asked about
// ("deleted permanently. Are you sure?" and then a failure): the user is
// told why at once, and nothing changes.
TEST_F(DeleteTest, AFileThatCannotBeRemovedIsReportedWithoutAQuestion) {
  // A folder this user may not change (root acts as "nobody" for the check).
  ASSERT_EQ(chmod(dir.Path().toLocal8Bit().constData(), 0555), 0);
  {
    FileAccessAsNobody nobody;
    Run("AcDelete");
  }
  ASSERT_EQ(chmod(dir.Path().toLocal8Bit().constData(), 0700), 0);
  EXPECT_TRUE(asked.isEmpty()) << asked.join('\n').toStdString();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith("b.png cannot be deleted: you may not change its folder"))
      << errors[0].toStdString();
  EXPECT_TRUE(QFile::exists(b));
  EXPECT_EQ(Shown(), "b.png");
  EXPECT_EQ(state.Folder.lsDir.size(), 3u);

  // A read-only file system, which has no usable Trash either.
  TScratchMount disk;
  SKIP_UNLESS_MOUNTED(disk);
  const QString photo = disk.File(QStringLiteral("photo.png"));
  ASSERT_TRUE(QFile::copy(a, photo));
  ASSERT_TRUE(QFile::copy(c, disk.File(QStringLiteral("second.png"))));
  ASSERT_TRUE(disk.MakeReadOnly());
  window->LoadImage(photo, true, true);
  errors.clear();
  Run("AcDelete");
  EXPECT_TRUE(asked.isEmpty()) << asked.join('\n').toStdString();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors[0], "photo.png cannot be deleted: its folder is on a read-only file system.");
  EXPECT_TRUE(QFile::exists(photo));
  EXPECT_EQ(Shown(), "photo.png");
  EXPECT_TRUE(window->Bitmap().IsValid());
}

// Delete before any step: the folder is listed first, so the next image is
// still the one after the deleted file.
TEST_F(DeleteTest, DeletingTheFirstFileShownFindsTheNextOne) {
  window.reset();
  state = TAppState{};
  Open(b);
  Run("AcDelete");
  EXPECT_EQ(Shown(), "c.png");
  Run("AcNext");
  EXPECT_EQ(Shown(), "a.png");
}

}  // namespace
