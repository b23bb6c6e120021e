// The save dialog behind Save as and the favicon: the filter rows as Qt shows
// them, what it preselects, what it reads back, and the question before an
// existing file is replaced.
#include "platform/save_picture_dialog.h"

#include "platform/modal_dialog.h"

#include "support/temp_folder.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(SavePictureDialog, ShowsTheFilterRowsWithTheirPatterns) {
  EXPECT_EQ(
      NameFilters(QStringLiteral("JPEG - Independent JPEG Group (*.jpg;*.jif)|*.jpg;*.jif|PNG - x (*.png)|*.png")),
      (QStringList{QStringLiteral("JPEG - Independent JPEG Group (*.jpg *.jif)"), QStringLiteral("PNG - x (*.png)")}));
  EXPECT_EQ(NameFilters(QStringLiteral("Favicon file | *.ico")), QStringList{QStringLiteral("Favicon file (*.ico)")});
}

TEST(SavePictureDialog, OpensAsSetUpAndReadsBackTheChoice) {
  TempFolder dir;
  TSavePictureDialog dialog;
  dialog.Filter = QStringLiteral("BMP - b (*.bmp)|*.bmp|JPEG - j (*.jpg;*.jpe)|*.jpg;*.jpe|PNG - p (*.png)|*.png");
  dialog.FilterIndex = 2;
  dialog.FileName = QStringLiteral("photo.jpg");
  dialog.DefaultExt = QStringLiteral("jpg");
  dialog.InitialDir = dir.Path();

  int shown = 0;
  ModalDialogHook() = [&](QDialog& d) {
    auto& qt = static_cast<QFileDialog&>(d);
    ++shown;
    EXPECT_TRUE(qt.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_FALSE(qt.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(qt.acceptMode(), QFileDialog::AcceptSave);
    // The row chosen last time is preselected the next time.
    EXPECT_EQ(qt.selectedNameFilter(),
              shown == 1 ? QStringLiteral("JPEG - j (*.jpg *.jpe)") : QStringLiteral("PNG - p (*.png)"));
    EXPECT_EQ(qt.defaultSuffix(), QStringLiteral("jpg"));
    EXPECT_EQ(qt.directory().absolutePath() + u'/', dir.Path());
    // The user picks the PNG row, types a name without extension and
    // presses Save: it is a PNG name. The second time the dialog is closed.
    qt.selectNameFilter(QStringLiteral("PNG - p (*.png)"));
    qt.selectFile(QStringLiteral("copy"));
    if (shown == 1) QMetaObject::invokeMethod(&qt, "accept");
  };
  ASSERT_TRUE(dialog.Execute(nullptr));
  EXPECT_EQ(dialog.FileName, dir.File(QStringLiteral("copy.png")));
  EXPECT_EQ(dialog.FilterIndex, 3);

  dialog.FileName = QStringLiteral("other.jpg");
  EXPECT_FALSE(dialog.Execute(nullptr));
  EXPECT_EQ(dialog.FileName, QStringLiteral("other.jpg"));
  EXPECT_EQ(dialog.FilterIndex, 3);
  ModalDialogHook() = nullptr;
}

TEST(SavePictureDialog, ABareNameTakesAnExtensionOfTheChosenRow) {
  const QString jpeg = QStringLiteral("JPEG - j (*.jpg *.jif *.jpeg *.jpe)");
  // The current file's own extension while its row is chosen, in any of its spellings.
  EXPECT_EQ(DefaultExtensionForRow(jpeg, QStringLiteral("jpeg")), QStringLiteral("jpeg"));
  EXPECT_EQ(DefaultExtensionForRow(jpeg, QStringLiteral("JPE")), QStringLiteral("JPE"));
  // Another row: its first extension; also for a current file without one.
  EXPECT_EQ(DefaultExtensionForRow(QStringLiteral("TIFF - t (*.tif *.tiff)"), QStringLiteral("jpg")),
            QStringLiteral("tif"));
  EXPECT_EQ(DefaultExtensionForRow(QStringLiteral("PNG - p (*.png)"), QString()), QStringLiteral("png"));
  EXPECT_EQ(DefaultExtensionForRow(QStringLiteral("Favicon file (*.ico)"), QStringLiteral("ico")),
            QStringLiteral("ico"));
  // A row without a plain extension leaves the default.
  EXPECT_EQ(DefaultExtensionForRow(QStringLiteral("All (*)"), QStringLiteral("jpg")), QStringLiteral("jpg"));
  EXPECT_EQ(DefaultExtensionForRow(QStringLiteral("no patterns"), QStringLiteral("jpg")), QStringLiteral("jpg"));

  // The question before replacing a file is about the name written: a bare
  // name under the PNG row asks about the existing copy.png, not copy.jpg.
  TempFolder dir;
  dir.Write(QStringLiteral("copy.png"), QByteArray("a picture"));
  TSavePictureDialog dialog;
  dialog.Filter = QStringLiteral("JPEG - j (*.jpg)|*.jpg|PNG - p (*.png)|*.png");
  dialog.FilterIndex = 1;
  dialog.DefaultExt = QStringLiteral("jpg");
  dialog.InitialDir = dir.Path();
  QString question;
  ModalDialogHook() = [&](QDialog& d) {
    auto& qt = static_cast<QFileDialog&>(d);
    qt.selectNameFilter(QStringLiteral("PNG - p (*.png)"));
    qt.selectFile(QStringLiteral("copy"));
    QTimer::singleShot(0, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          question = box->text();
          box->button(QMessageBox::Yes)->click();
        }
    });
    QMetaObject::invokeMethod(&qt, "accept");
  };
  EXPECT_TRUE(dialog.Execute(nullptr));
  ModalDialogHook() = nullptr;
  EXPECT_TRUE(question.contains(QStringLiteral("copy.png"))) << question.toStdString();
  EXPECT_EQ(dialog.FileName, dir.File(QStringLiteral("copy.png")));
}

TEST(SavePictureDialog, AsksBeforeReplacingAnExistingFile) {
  TempFolder dir;
  dir.Write(QStringLiteral("taken.jpg"), QByteArray("a photo"));
  TSavePictureDialog dialog;
  dialog.Filter = QStringLiteral("JPEG (*.jpg)|*.jpg");
  dialog.InitialDir = dir.Path();
  dialog.FileName = QStringLiteral("taken.jpg");

  for (bool replace : {false, true}) {
    QString question;
    ModalDialogHook() = [&](QDialog& d) {
      // Answers the question box as soon as it runs its own loop.
      QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            question = box->text();
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
          }
      });
      QMetaObject::invokeMethod(&d, "accept");  // the Save button
    };
    EXPECT_EQ(dialog.Execute(nullptr), replace);
    EXPECT_TRUE(question.contains(QStringLiteral("taken.jpg"))) << question.toStdString();
  }
  ModalDialogHook() = nullptr;
}

}  // namespace
