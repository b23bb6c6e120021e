// The associations dialog through its real widgets.
#include "shell_fixture.h"

#include "folder/extra_formats.h"

#include "platform/message_box.h"
#include "shell/integration.h"
#include "shell/tfintegration.h"
#include "support/scratch_mount.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

class IntegrationDialog : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    // Counted, and carried to the desktop, whose defaults the rows show.
    AssociationNoticeHook() = [this] {
      ++notices;
      NotifyAssociationsChanged();
    };
    DefaultSettings(settings);
    settings.FirstRun = false;
    dialog = std::make_unique<TfIntegration>(settings, nullptr, 120);
  }

  int Row(const char* name) const {
    for (int row = 0; row < SupportedFormatCount; ++row)
      if (SupportedFormats[row].name == QLatin1String(name)) return row;
    return -1;
  }
  // Over every row: the 36, then the extra formats.
  int CheckedRows() const {
    int n = 0;
    for (int row = 0; row < dialog->List()->rowCount(); ++row) n += dialog->IsRowChecked(row);
    return n;
  }
  static constexpr int AllRows = 36 + ExtraFormatCount;
  // Shows the dialog and returns what a later showing would see of the hive.
  void Show() {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  }
  QByteArray Hive() const {
    QFile f(TRegistryFile::DefaultPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  TSettings settings;
  std::unique_ptr<TfIntegration> dialog;
  int notices = 0;
};

TEST_F(IntegrationDialog, ListsTheFormatsInTableOrderWithTheirTexts) {
  Show();
  QTableWidget* lv = dialog->List();
  ASSERT_EQ(lv->rowCount(), 36 + ExtraFormatCount);
  EXPECT_EQ(dialog->windowTitle(), "File Associations");
  EXPECT_EQ(lv->horizontalHeaderItem(2)->text(), "File extensions");
  EXPECT_EQ(lv->item(12, 0)->text(), "JPEG");
  EXPECT_EQ(lv->item(12, 1)->text(), "Independent JPEG Group");
  EXPECT_EQ(lv->item(12, 2)->text(), "jpg jif jpeg jpe");
  EXPECT_EQ(lv->item(35, 0)->text(), "XBM");
  // The extra formats follow the 36 rows.
  EXPECT_EQ(lv->item(36, 0)->text(), "HEIF");
  EXPECT_EQ(lv->item(36, 2)->text(), "heic heif hif");
  EXPECT_EQ(lv->item(38, 0)->text(), "JXL");
  EXPECT_EQ(lv->item(39, 0)->text(), "CAMRAW");
  EXPECT_TRUE(lv->item(39, 2)->text().contains("nef")) << lv->item(39, 2)->text().toStdString();
  EXPECT_EQ(CheckedRows(), 0);
  // Designed at 120 pixels per inch; at 240 everything doubles.
  EXPECT_EQ(dialog->size(), QSize(551, 481));
  TfIntegration large(settings, nullptr, 240);
  EXPECT_EQ(large.size(), QSize(1102, 962));
  EXPECT_EQ(large.OkButton()->geometry(), QRect(572, 878, 248, 62));
}

TEST_F(IntegrationDialog, TheFirstRunChecksEveryRowAndCancelOrEscChangeNothing) {
  Write("\\SOFTWARE\\Classes\\.JPG", "", "jpegfile");
  const QByteArray before = Hive();
  settings.FirstRun = true;
  for (int key : {0, int(Qt::Key_Escape)}) {
    dialog = std::make_unique<TfIntegration>(settings, nullptr, 120);
    Show();
    EXPECT_EQ(CheckedRows(), AllRows);
    EXPECT_TRUE(dialog->SelectAll()->isChecked());
    // The note says what OK would do here, and that Cancel does nothing.
    EXPECT_TRUE(dialog->Notice()->text().contains("OK: the checked formats open with this viewer on this desktop"));
    EXPECT_TRUE(dialog->Notice()->text().contains("Cancel changes nothing"));
    if (key)
      QTest::keyClick(dialog->List(), Qt::Key(key));
    else
      dialog->CancelButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
  }
  EXPECT_EQ(Hive(), before);
  EXPECT_EQ(notices, 0);
  EXPECT_FALSE(QFileInfo::exists(home.File("config/mimeapps.list")));
}

TEST_F(IntegrationDialog, AFirstRunOkAssociatesEveryFormatAndNotifiesOnce) {
  settings.FirstRun = true;
  Show();
  dialog->OkButton()->click();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(notices, 1);
  for (const ftype& format : ListedFormats()) {
    // PBM, PGM and PPM go to the binary variant, which comes later.
    EXPECT_TRUE(IsFormatAssociated(QString(format.name))) << format.name.data();
  }
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.PPM"), "VelvanePhotoViewerPPMRAW");
  // The extra formats get classes of their own, with their icons.
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.HEIC"), "VelvanePhotoViewerHEIF");
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.NEF"), "VelvanePhotoViewerCAMRAW");
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\VelvanePhotoViewerJXL\\DefaultIcon"),
            QStringLiteral(VELVANE_BUILD_DIR "/res/icons/JXL.ico"));
  EXPECT_TRUE(QFileInfo::exists(VELVANE_BUILD_DIR "/res/icons/CAMRAW.ico"));
}

TEST_F(IntegrationDialog, APartlyAssociatedFormatShowsUncheckedAndOkTakesTheViewerOff) {
  AssociateFormat("JPEG");
  AssociateFormat("PNG");
  Write("\\SOFTWARE\\Classes\\.JPE", "", "jpegfile");  // another program took one extension
  NotifyAssociationsChanged();
  Show();
  EXPECT_FALSE(dialog->IsRowChecked(Row("JPEG")));
  EXPECT_TRUE(dialog->IsRowChecked(Row("PNG")));
  dialog->OkButton()->click();
  EXPECT_EQ(notices, 1);
  EXPECT_FALSE(KeyExists("\\SOFTWARE\\Classes\\.JPG"));
  EXPECT_FALSE(KeyExists("\\SOFTWARE\\Classes\\VelvanePhotoViewerJPEG"));
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.JPE"), "jpegfile");
  EXPECT_TRUE(IsFormatAssociated("PNG"));
}

TEST_F(IntegrationDialog, AFormatTheUserGaveToAnotherApplicationShowsUncheckedAndOkLeavesItThere) {
  AssociateFormat("PNG");
  AssociateFormat("GIF");
  NotifyAssociationsChanged();
  home.Write("data/applications/other.desktop", "[Desktop Entry]\nType=Application\nName=Other\nExec=true %f\n");
  const QByteArray chosen =
      "[Default Applications]\nimage/png=other.desktop;\nimage/gif=org.norquill.Velvane.desktop;\n";
  home.Write("config/mimeapps.list", chosen);
  Show();
  EXPECT_TRUE(IsFormatAssociated("PNG"));
  EXPECT_FALSE(dialog->IsRowChecked(Row("PNG")));
  EXPECT_TRUE(dialog->IsRowChecked(Row("GIF")));
  dialog->OkButton()->click();
  EXPECT_FALSE(IsFormatAssociated("PNG"));
  QFile list(home.File("config/mimeapps.list"));
  ASSERT_TRUE(list.open(QIODevice::ReadOnly));
  EXPECT_EQ(list.readAll(), chosen);
}

TEST_F(IntegrationDialog, AssociationsThatCannotBeWrittenAreReported) {
  QStringList errors;
  MessageBoxHooks().error = [&errors](const QString& text, const QString& caption) {
    EXPECT_EQ(caption, "Velvane Photo Viewer");
    errors << text;
  };
  AssociationNoticeHook() = nullptr;  // what the real notice reports
  // The desktop's list cannot be written: the registry is, and the list named.
  ASSERT_TRUE(QDir().mkpath(home.File("config/mimeapps.list")));
  Show();
  dialog->SetRowChecked(Row("PNG"), true);
  dialog->OkButton()->click();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith("The file associations could not be saved: ")) << errors[0].toStdString();
  EXPECT_TRUE(errors[0].contains(home.File("config/mimeapps.list") + " could not be written."))
      << errors[0].toStdString();
  EXPECT_TRUE(IsFormatAssociated("PNG"));

  // A read-only config folder: nothing is written, and that is said.
  TScratchMount config;
  SKIP_UNLESS_MOUNTED(config);
  qputenv("XDG_CONFIG_HOME", config.Path().toLocal8Bit());
  ASSERT_TRUE(config.MakeReadOnly());
  Show();
  dialog->SetRowChecked(Row("GIF"), true);
  dialog->OkButton()->click();
  ASSERT_EQ(errors.size(), 2);
  EXPECT_TRUE(errors[1].contains(config.File("velvane/registry-hkcu.txt") + " could not be written."))
      << errors[1].toStdString();
  EXPECT_FALSE(IsFormatAssociated("GIF"));
  EXPECT_TRUE(config.Entries().isEmpty()) << config.Entries().join(u' ').toStdString();
  MessageBoxHooks().error = nullptr;
}

TEST_F(IntegrationDialog, OkWithEveryRowUncheckedEqualsUninstall) {
  const auto setUp = [this] {
    Write("\\SOFTWARE\\Classes\\.TIF", "", "tiffile");
    Write("\\SOFTWARE\\Classes\\.GIF", "", "giffile");
    for (const char* name : {"TIFF", "GIF", "PBM", "JPEG"}) AssociateFormat(name);
  };
  setUp();
  Show();
  dialog->SelectAll()->setChecked(true);
  dialog->SelectAll()->setChecked(false);
  dialog->OkButton()->click();
  const QByteArray afterOk = Hive();
  EXPECT_EQ(notices, 1);

  QFile::remove(TRegistryFile::DefaultPath());
  setUp();
  Uninstall();
  EXPECT_EQ(notices, 2);
  EXPECT_EQ(Hive(), afterOk);
  EXPECT_EQ(Value("\\SOFTWARE\\Classes\\.TIF"), "tiffile");
}

TEST_F(IntegrationDialog, SelectAllOverridesSingleEditsAndFollowsTheRowsAtEachShowing) {
  Show();
  dialog->SetRowChecked(3, true);
  dialog->SelectAll()->click();
  EXPECT_EQ(CheckedRows(), AllRows);
  dialog->SetRowChecked(5, false);
  dialog->SelectAll()->click();
  EXPECT_EQ(CheckedRows(), 0);
  dialog->SelectAll()->click();
  EXPECT_EQ(CheckedRows(), AllRows);
  dialog->SetRowChecked(Row("GIF"), false);
  dialog->OkButton()->click();

  // The next showing rebuilds the rows from the registry; the box, checked
  // when the dialog closed, says that not every row is.
  Show();
  EXPECT_FALSE(dialog->SelectAll()->isChecked());
  EXPECT_FALSE(dialog->IsRowChecked(Row("GIF")));
  EXPECT_EQ(CheckedRows(), AllRows - 1);
  // A row's box toggles with the space key, as in a list view.
  dialog->List()->setFocus();
  dialog->List()->setCurrentCell(Row("GIF"), 0);
  QTest::keyClick(dialog->List(), Qt::Key_Space);
  EXPECT_TRUE(dialog->IsRowChecked(Row("GIF")));
  QTest::keyClick(dialog->List(), Qt::Key_Escape);
  EXPECT_FALSE(IsFormatAssociated("GIF"));
  EXPECT_EQ(notices, 1);

  // The reverse: every format associated while the box was left clear.
  dialog->SelectAll()->setChecked(false);
  AssociateFormat("GIF");
  NotifyAssociationsChanged();
  Show();
  EXPECT_EQ(CheckedRows(), AllRows);
  EXPECT_TRUE(dialog->SelectAll()->isChecked());
  dialog->CancelButton()->click();
}

TEST_F(IntegrationDialog, EnterPressesOnlyTheFocusedButton) {
  settings.FirstRun = true;
  dialog = std::make_unique<TfIntegration>(settings, nullptr, 120);
  Show();
  ASSERT_EQ(CheckedRows(), AllRows);
  EXPECT_FALSE(dialog->OkButton()->isDefault());
  for (QWidget* control : {static_cast<QWidget*>(dialog->List()), static_cast<QWidget*>(dialog->SelectAll())}) {
    control->setFocus();
    QTest::keyClick(control, Qt::Key_Return);
    QTest::keyClick(control, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(dialog->isVisible()) << control->objectName().toStdString();
  }
  EXPECT_FALSE(dialog->OkButton()->isDefault());  // not even after the dialog had the keys
  EXPECT_EQ(notices, 0);
  EXPECT_FALSE(IsFormatAssociated("JPEG"));
  dialog->CancelButton()->setFocus();
  QTest::keyClick(dialog->CancelButton(), Qt::Key_Return);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(notices, 0);

  Show();
  dialog->SetRowChecked(Row("JPEG"), false);
  dialog->OkButton()->setFocus();
  QTest::keyClick(dialog->OkButton(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(notices, 1);
  EXPECT_FALSE(IsFormatAssociated("JPEG"));
  EXPECT_TRUE(IsFormatAssociated("PNG"));
}

TEST_F(IntegrationDialog, MinimisingAndRestoringKeepsTheUnsavedChecks) {
  Show();
  dialog->SetRowChecked(Row("TIFF"), true);
  dialog->showMinimized();
  QTest::qWait(20);
  dialog->showNormal();
  QTest::qWait(20);
  EXPECT_TRUE(dialog->IsRowChecked(Row("TIFF")));
  EXPECT_EQ(CheckedRows(), 1);
  dialog->OkButton()->click();
  EXPECT_TRUE(IsFormatAssociated("TIFF"));
}

TEST_F(IntegrationDialog, TheSharedPortableExtensionsFollowTheBinaryRow) {
  Show();
  dialog->SetRowChecked(Row("PBM"), true);
  dialog->SetRowChecked(Row("PGMRAW"), true);
  dialog->OkButton()->click();
  Show();
  EXPECT_FALSE(dialog->IsRowChecked(Row("PBM")));
  EXPECT_FALSE(dialog->IsRowChecked(Row("PBMRAW")));
  EXPECT_TRUE(dialog->IsRowChecked(Row("PGM")));
  EXPECT_TRUE(dialog->IsRowChecked(Row("PGMRAW")));
  dialog->CancelButton()->click();
}

TEST_F(IntegrationDialog, ShowsModallyOverAnyWindow) {
  QWidget owner;
  owner.show();
  QTimer::singleShot(0, dialog.get(), [this, &owner] {
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->parentWidget(), &owner);
    EXPECT_EQ(QApplication::activeModalWidget(), dialog.get());
    dialog->CancelButton()->click();
  });
  EXPECT_EQ(dialog->ShowModalFor(&owner), QDialog::Rejected);
  EXPECT_EQ(notices, 0);
  // Only lent to the window: the dialog outlives it.
  EXPECT_EQ(dialog->parentWidget(), nullptr);
}

}  // namespace
