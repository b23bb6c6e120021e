// Save, Save as, the favicon and the wallpaper through the real window: the
// hotkeys and menu entries run them, the messages say what happened, and a
// command that writes nothing says why.
#include "tfmain_fixture.h"

#include "edit/exif/exif_data.h"
#include "edit_test_support.h"
#include "platform/modal_dialog.h"
#include "platform/wallpaper.h"
#include "support/scratch_mount.h"

#include <QFileDialog>
#include <QTest>
#include <QUrl>

namespace {

class SaveTest : public TfmainFixture {
protected:
  void TearDown() override {
    ModalDialogHook() = nullptr;
    WallpaperProcessHook() = nullptr;
    TfmainFixture::TearDown();
  }
  // A JPEG of the test pattern stored sideways with orientation 6.
  QString Portrait(const QString& name) {
    TExifData exif;
    exif.General().SetOrientation(toRightTop);
    const QString path = dir.File(name);
    WriteFile(path.toStdString(),
              exif.SaveToBytes(EncodeWithFreeImage(Pattern(64, 48).get(), FIF_JPEG, JPEG_QUALITYSUPERB)));
    return path;
  }
  // The next save dialog takes this name (relative to the folder it opened
  // in) and its Save button after the check has looked at it; an empty name
  // closes it.
  void AnswerDialog(const QString& name, std::function<void(QFileDialog&)> check = {}) {
    ModalDialogHook() = [name, check](QDialog& d) {
      auto& dialog = static_cast<QFileDialog&>(d);
      if (check) check(dialog);
      if (name.isEmpty()) return;
      dialog.selectFile(name);
      QMetaObject::invokeMethod(&dialog, "accept");
    };
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window.get(), key, modifiers);
  }
};

TEST_F(SaveTest, HotkeysAndMenuEntriesRunTheCommands) {
  const QString photo = Portrait(QStringLiteral("photo.jpg"));
  Open(photo);
  for (const char* name : {"acSave", "AcSaveAs", "AcSaveAsFavIcon", "AcSetAsWallpaper", "AcRotateLeft", "AcRotateRight",
                           "AcFlipHorizontal", "AcFlipVertical"})
    EXPECT_TRUE(window->MenuItem(QLatin1String(name))->isEnabled()) << name;
  ASSERT_EQ(window->Bitmap().Width(), 48u);

  // Without an edit the file already holds the picture: Save writes nothing.
  const TBytes before = ReadFile(photo.toStdString());
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(window->Message(), QStringLiteral("Saved"));
  EXPECT_EQ(ReadFile(photo.toStdString()), before);
  // With one it writes the picture as shown: upright, so it stays upright.
  window->FlashMessage(QString(), 0);
  FreeImage_AdjustGamma(window->Bitmap().Dib(), 1.2);
  window->bWorkingImageEdited = true;
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(window->Message(), QStringLiteral("Saved"));
  EXPECT_NE(ReadFile(photo.toStdString()), before);
  EXPECT_EQ(ExifOrientation(ReadFile(photo.toStdString())), 1);
  EXPECT_FALSE(window->bWorkingImageEdited);
  window->Reload();
  EXPECT_EQ(window->Bitmap().Width(), 48u);

  Press(Qt::Key_F6);
  EXPECT_EQ(FreeImage_GetWidth(DecodeFile(photo.toStdString()).get()), 64u);
  const TBytes turned = ReadFile(photo.toStdString());
  Press(Qt::Key_F);
  Press(Qt::Key_F, Qt::ShiftModifier);
  window->MenuItem(QStringLiteral("AcRotateRight"))->trigger();
  EXPECT_NE(ReadFile(photo.toStdString()), turned);
  EXPECT_LT(MeanDifference(DecodeFile(photo.toStdString(), JPEG_EXIFROTATE).get(), window->Bitmap().Dib()), 4.0);

  // Save as offers the file's own name and row; the name typed decides.
  AnswerDialog(QStringLiteral("copy.png"), [](QFileDialog& dialog) {
    EXPECT_EQ(dialog.nameFilters().size(), 36);
    EXPECT_TRUE(dialog.selectedNameFilter().startsWith(QStringLiteral("JPEG - Independent JPEG Group (")));
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("jpg"));
  });
  Press(Qt::Key_W, Qt::ControlModifier);
  EXPECT_EQ(FreeImage_GetFileType(dir.File(QStringLiteral("copy.png")).toUtf8().constData(), 0), FIF_PNG);
  EXPECT_EQ(window->SavePictureDialog().FileName, dir.File(QStringLiteral("copy.png")));
  EXPECT_EQ(state.sCurrentFile, photo);

  // The favicon: a squeezed 32 x 32 icon beside the picture, and the file on
  // display back in the window without the unsaved edit.
  FreeImage_AdjustGamma(window->Bitmap().Dib(), 2.0);
  window->bWorkingImageEdited = true;
  AnswerDialog(QStringLiteral("favicon.ico"), [this](QFileDialog& dialog) {
    EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("Favicon file (*.ico)")});
    EXPECT_EQ(dialog.directory().absolutePath() + u'/', dir.Path());
  });
  window->MenuItem(QStringLiteral("AcSaveAsFavIcon"))->trigger();
  const TDib icon = DecodeFile(dir.File(QStringLiteral("favicon.ico")).toStdString());
  ASSERT_TRUE(icon);
  EXPECT_EQ(FreeImage_GetWidth(icon.get()), 32u);
  EXPECT_EQ(FreeImage_GetHeight(icon.get()), 32u);
  EXPECT_FALSE(window->bWorkingImageEdited);
  EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), DecodeFile(photo.toStdString(), JPEG_EXIFROTATE).get()), 0.0);
  EXPECT_EQ(window->SavePictureDialog().InitialDir + u'/', dir.Path());

  // The wallpaper is the file on disk, on the desktop that runs.
  qputenv("XDG_CURRENT_DESKTOP", "GNOME");
  QStringList arguments;
  int exitCode = 0;
  WallpaperProcessHook() = [&](const QString&, const QStringList& args) {
    arguments += args;
    TProcessRun run;
    run.started = run.finished = true;
    run.exitCode = exitCode;
    run.errors = "the desktop said no";
    return run;
  };
  Press(Qt::Key_W, Qt::ShiftModifier);
  EXPECT_EQ(window->Message(), QStringLiteral("Set as wallpaper"));
  EXPECT_TRUE(
      arguments.contains(QStringLiteral("'%1'").arg(QString::fromLatin1(QUrl::fromLocalFile(photo).toEncoded()))));
  exitCode = 1;
  window->MenuItem(QStringLiteral("AcSetAsWallpaper"))->trigger();
  EXPECT_EQ(window->Message(), QStringLiteral("The wallpaper could not be set: gsettings: the desktop said no"));
  qunsetenv("XDG_CURRENT_DESKTOP");
}

TEST_F(SaveTest, ACommandThatWritesNothingSaysWhy) {
  // A PNG named as a PhotoCD: shown by its content, not writable by its name.
  const QString scan = dir.File(QStringLiteral("scan.pcd"));
  testimg::Save(testimg::Solid24(8, 8, 0x336699), FIF_PNG, scan);
  const QByteArray scanBytes = testimg::ReadFile(scan);
  Open(scan);
  window->bWorkingImageEdited = true;
  Run("acSave");
  EXPECT_EQ(window->Message(), QStringLiteral("Nothing was written: PCD files cannot be written"));
  EXPECT_EQ(testimg::ReadFile(scan), scanBytes);

  const QString alpha = dir.File(QStringLiteral("alpha.png"));
  FIBITMAP* rgba = FreeImage_ConvertTo32Bits(Pattern(16, 16).get());
  FreeImage_GetScanLine(rgba, 0)[FI_RGBA_ALPHA] = 0;  // one transparent pixel
  testimg::Save(rgba, FIF_PNG, alpha);
  window->LoadImage(alpha, true, true);
  ASSERT_EQ(window->Bitmap().BPP(), 32u);
  AnswerDialog(QStringLiteral("alpha.jpg"));
  Run("AcSaveAs");
  EXPECT_EQ(window->Message(),
            QStringLiteral("Nothing was written: the JPEG encoder could not write 32 bits per pixel"));
  EXPECT_FALSE(QFile::exists(dir.File(QStringLiteral("alpha.jpg"))));

  AnswerDialog(QString());  // cancelled: nothing at all
  Run("AcSaveAsFavIcon");
  AnswerDialog(QStringLiteral("favicon.pcd"));
  Run("AcSaveAsFavIcon");
  EXPECT_EQ(window->Message(), QStringLiteral("Nothing was written: PCD files cannot be written"));
  EXPECT_EQ(window->Bitmap().Width(), 16u);  // reloaded all the same
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files),
            (QStringList{QStringLiteral("alpha.png"), QStringLiteral("scan.pcd")}));

  TScratchMount disk;
  SKIP_UNLESS_MOUNTED(disk);
  const QString locked = disk.File(QStringLiteral("locked.png"));
  testimg::Save(testimg::Solid24(8, 8, 0x112233), FIF_PNG, locked);
  ASSERT_TRUE(disk.MakeReadOnly());
  window->LoadImage(locked, true, true);
  window->bWorkingImageEdited = true;
  Run("acSave");
  EXPECT_EQ(window->Message(), QStringLiteral("Nothing was written: the folder is read-only"));
}

}  // namespace
