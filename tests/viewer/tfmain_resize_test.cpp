// The resize commands through the real window: fixed heights and the custom
// size start from the file, use the stored filter, save only when asked and
// only what was resized; refusals say why and lose nothing. The commands of
// this and the tone file run from their hotkeys and menu entries.
#include "tfmain_fixture.h"

#include "edit/tfresizeto.h"
#include "edit_test_support.h"
#include "platform/desktop_services.h"
#include "platform/modal_dialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <climits>

namespace {

class ResizeTest : public TfmainFixture {
protected:
  void SetUp() override {
    BeepHook() = [] {};
    MessageBoxHooks().error = [this](const QString& text, const QString& caption) {
      errors << text;
      captions << caption;
    };
  }
  void TearDown() override {
    ModalDialogHook() = nullptr;
    BeepHook() = nullptr;
    dialog.reset();
    TfmainFixture::TearDown();
  }
  QString Jpeg(const QString& name, int width, int height) {
    const QString path = dir.File(name);
    WriteFile(path.toStdString(), EncodeWithFreeImage(Pattern(width, height).get(), FIF_JPEG, JPEG_QUALITYGOOD));
    return path;
  }
  QString Png(const QString& name, FIBITMAP* picture) {
    const QString path = dir.File(name);
    EXPECT_TRUE(testimg::Save(picture, FIF_PNG, path));
    return path;
  }
  // The file decoded afresh and rescaled with FreeImage's filter.
  TDib Rescaled(int width, int height, FREE_IMAGE_FILTER filter = FILTER_BOX) {
    TDib decoded = DecodeFile(state.sCurrentFile.toStdString());
    return TDib(FreeImage_Rescale(decoded.get(), width, height, filter));
  }
  void Size(unsigned width, unsigned height) {
    EXPECT_EQ(window->Bitmap().Width(), width);
    EXPECT_EQ(window->Bitmap().Height(), height);
  }
  // The main window with its custom-size dialog.
  void OpenWithDialog(const QString& path) {
    Open(path);
    dialog = std::make_unique<TfResizeTo>(state.bRememberResize, window.get(), 96);
    window->SetResizeDialog(dialog.get());
  }
  // The next showings of the dialog run work, which closes it.
  void WhenShown(std::function<void(TfResizeTo&)> work) {
    ModalDialogHook() = [this, work](QDialog&) {
      ++showings;
      work(*dialog);
    };
  }
  static void Retype(QLineEdit* box, const char* keys) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, QLatin1String(keys));
  }

  std::unique_ptr<TfResizeTo> dialog;
  int showings = 0;
  QStringList errors, captions;
};

TEST_F(ResizeTest, FixedHeightsStartFromTheFileAndLeaveItAlone) {
  const QString landscape = Jpeg("landscape.jpg", 4000, 3000);
  const QByteArray bytes = testimg::ReadFile(landscape);
  Open(landscape);
  const QString caption = window->windowTitle();
  Run("AcGammaIncrease");
  Run("acResizeTo1080");
  Size(1440, 1080);
  EXPECT_EQ(window->Message(), "Resized to 1080 height");
  EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), Rescaled(1440, 1080).get()), 0.0);  // without the gamma
  EXPECT_EQ(state.Tone.fGamma, 1.05);
  EXPECT_TRUE(window->bWorkingImageEdited);
  EXPECT_EQ(testimg::ReadFile(landscape), bytes);
  EXPECT_EQ(window->windowTitle(), caption);
  EXPECT_EQ(window->ResInfoItem()->text(), "Original: 4000x3000");

  Run("acResizeTo720");
  const TDib once(FreeImage_Clone(window->Bitmap().Dib()));
  Run("acResizeTo720");
  Size(960, 720);
  EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), once.get()), 0.0);
  Run("AcGammaDecrease");  // a tone step shows the file's own size again
  Size(4000, 3000);

  window->LoadImage(Jpeg("portrait.jpg", 300, 400), true, true);
  Run("acResizeTo1080");
  Size(810, 1080);  // enlarged the same way
  Run("acResizeTo2160");
  Size(1620, 2160);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ResizeTest, TheAutomaticSaveWritesTheResizedPictureThatReloadOriginalReads) {
  // Enlarged to 1080 high: the save writes a picture of a size the file did
  // not have, as a reduction would, without decoding a large file each step.
  const QString photo = Jpeg("photo.jpg", 400, 300);
  Open(photo);
  state.Settings.AutoSaveAfterResize = true;
  Run("AcZoomIn");
  Run("AcBrightnessIncrease");
  Run("acResizeTo1080");
  EXPECT_EQ(window->Message(), "Saved");
  EXPECT_FALSE(window->bWorkingImageEdited);
  const TDib saved = DecodeFile(photo.toStdString());
  EXPECT_EQ(FreeImage_GetWidth(saved.get()), 1440u);
  EXPECT_EQ(FreeImage_GetHeight(saved.get()), 1080u);

  Run("acReloadOriginal");
  EXPECT_EQ(window->Message(), "Reloaded original");
  Size(1440, 1080);
  EXPECT_EQ(window->ResInfoItem()->text(), "Original: 1440x1080");
  EXPECT_EQ(state.View.fZoom, 1.0f);
  EXPECT_EQ(state.Tone.fBrightness, 0.0);
}

TEST_F(ResizeTest, TheStoredFilterIsPassedOnAndOneOutsideTheListIsTheBox) {
  Open(Png("small.png", FreeImage_Clone(Pattern(90, 60).get())));
  std::vector<TDib> byFilter;
  for (int filter = FILTER_BOX; filter <= FILTER_LANCZOS3; ++filter) {
    state.Settings.ResizeFilter = filter;
    Run("acResizeTo720");
    EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), Rescaled(1080, 720, FREE_IMAGE_FILTER(filter)).get()), 0.0)
        << filter;
    for (const TDib& other : byFilter) EXPECT_GT(MeanDifference(window->Bitmap().Dib(), other.get()), 0.0) << filter;
    byFilter.emplace_back(FreeImage_Clone(window->Bitmap().Dib()));
  }
  for (int damaged : {-1, 6, 1000, INT_MIN, INT_MAX}) {
    state.Settings.ResizeFilter = damaged;
    Run("acResizeTo720");
    EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), byFilter[0].get()), 0.0) << damaged;
  }

  // A 1-bit picture is made 8-bit grey before it is scaled.
  window->LoadImage(Png("mono.png", FreeImage_Threshold(Pattern(40, 30).get(), 128)), true, true);
  ASSERT_EQ(window->Bitmap().BPP(), 1u);
  Run("acResizeTo1080");
  Size(1440, 1080);
  EXPECT_EQ(window->Bitmap().BPP(), 8u);
  EXPECT_EQ(FreeImage_GetColorType(window->Bitmap().Dib()), FIC_MINISBLACK);
}

TEST_F(ResizeTest, APictureThatCannotBeReadOrWouldNotFitIsNeitherResizedNorSaved) {
  const QString photo = Png("photo.png", FreeImage_Clone(Pattern(64, 48).get()));
  Open(photo);
  state.Settings.AutoSaveAfterResize = true;
  QByteArray damaged = testimg::ReadFile(photo);
  damaged.truncate(60);
  dir.Write("photo.png", damaged);
  Run("acResizeTo1080");
  EXPECT_EQ(window->Message(), "The picture could not be resized: the file could not be read");
  EXPECT_EQ(testimg::ReadFile(photo), damaged);

  // A file that is no longer a picture at all keeps the previous picture in
  // memory, which is not this file's to resize or save.
  // (A PNG under a name no format claims is read by its content alone.)
  const QString notes = Png("notes.dat", FreeImage_Clone(Pattern(64, 48).get()));
  window->LoadImage(notes, true, true);
  ASSERT_EQ(window->Bitmap().Width(), 64u);
  dir.Write("notes.dat", QByteArray("plain text, not a picture"));
  Run("acResizeTo720");
  EXPECT_EQ(window->Message(), "The picture could not be resized: the file could not be read");
  EXPECT_EQ(testimg::ReadFile(notes), QByteArray("plain text, not a picture"));

  // 40000 x 2 at 2160 pixels high would be 43200000 pixels wide.
  window->LoadImage(Png("strip.png", FreeImage_Clone(Pattern(40000, 2).get())), true, true);
  const QByteArray strip = testimg::ReadFile(state.sCurrentFile);
  Run("acResizeTo2160");
  EXPECT_EQ(window->Message(), "The picture could not be resized: 43200000 x 2160 is too large");
  Size(40000, 2);
  EXPECT_EQ(testimg::ReadFile(state.sCurrentFile), strip);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ResizeTest, TheCustomSizeRescalesAFreshDecodeAndRemembersUntilRestart) {
  OpenWithDialog(Png("photo.png", FreeImage_Clone(Pattern(400, 300).get())));
  Run("acConvertToGrayScale");
  WhenShown([](TfResizeTo& d) {
    EXPECT_EQ(d.seWidth->text(), "400");
    Retype(d.seWidth, "1000");
    EXPECT_EQ(d.seHeight->text(), "750");
    d.btnOk->click();
  });
  Run("acResizeToCustom");
  Size(1000, 750);
  EXPECT_EQ(window->Bitmap().BPP(), 24u);  // the grey-scale was dropped
  EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), Rescaled(1000, 750).get()), 0.0);
  EXPECT_EQ(window->Message(), QString());

  // Cancelled: the working image stays as it was, not even reloaded.
  Run("acConvertToGrayScale");
  WhenShown([](TfResizeTo& d) {
    EXPECT_EQ(d.original_width, 1000);  // the working image's size
    QTest::keyClick(d.seHeight, Qt::Key_Escape);
  });
  Run("acResizeToCustom");
  EXPECT_EQ(window->Bitmap().BPP(), 8u);

  WhenShown([](TfResizeTo& d) {
    d.chRememberUntilRestart->click();
    d.btnOk->click();
  });
  Run("acResizeToCustom");
  EXPECT_EQ(showings, 3);
  EXPECT_TRUE(state.bRememberResize);
  window->LoadImage(Jpeg("portrait.jpg", 300, 400), true, true);
  Run("acResizeToCustom");
  EXPECT_EQ(showings, 3);  // no dialog: the size last confirmed, whatever the proportions
  Size(1000, 750);
}

TEST_F(ResizeTest, CustomSizesThatAreNoNumberTooLargeOrZeroChangeNothingButTheReload) {
  const QString photo = Png("photo.png", FreeImage_Clone(Pattern(400, 300).get()));
  const QByteArray bytes = testimg::ReadFile(photo);
  OpenWithDialog(photo);
  state.Settings.AutoSaveAfterResize = true;

  // Pasted text: the error box, after the reload, before any repaint.
  Run("acConvertToGrayScale");
  const QImage frame = window->Frame().copy();
  QGuiApplication::clipboard()->setText(QStringLiteral("12a"));
  WhenShown([](TfResizeTo& d) {
    d.seHeight->selectAll();
    d.seHeight->paste();
    d.btnOk->click();
  });
  Run("acResizeToCustom");
  EXPECT_EQ(errors, QStringList{"'12a' is not a valid integer value."});
  EXPECT_EQ(captions, QStringList{"Velvane Photo Viewer"});
  EXPECT_EQ(window->Bitmap().BPP(), 24u);
  EXPECT_TRUE(window->Frame() == frame);

  // Typed far too large, the boxes independent.
  Run("acConvertToGrayScale");
  WhenShown([](TfResizeTo& d) {
    d.chKeepAspectRatio->click();
    Retype(d.seWidth, "90000");
    Retype(d.seHeight, "90000");
    EXPECT_EQ(d.seWidth->text(), "90000");
    d.btnOk->click();
  });
  Run("acResizeToCustom");
  EXPECT_EQ(window->Message(), "The picture could not be resized: 90000 x 90000 is too large");
  Size(400, 300);
  EXPECT_EQ(window->Bitmap().BPP(), 24u);

  WhenShown([](TfResizeTo& d) {
    Retype(d.seHeight, "0");
    d.btnOk->click();
  });
  Run("acResizeToCustom");
  EXPECT_EQ(window->Message(), "The picture could not be resized to 90000 x 0");
  Size(400, 300);
  EXPECT_EQ(testimg::ReadFile(photo), bytes);  // nothing was resized, so nothing saved
  EXPECT_EQ(errors.size(), 1);
}

struct TCommandKey {
  const char* action;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  const char* message;  // what it shows afterwards; empty for none of its own
};

TEST_F(ResizeTest, HotkeysAndMenuEntriesRunEveryToneAndResizeCommand) {
  OpenWithDialog(Png("photo.png", FreeImage_Clone(Pattern(40, 30).get())));
  const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
  const TCommandKey commands[] = {
      {"AcGammaIncrease", Qt::Key_Plus, Qt::ControlModifier | keypad, "Gamma (+): 1.05"},
      {"AcGammaDecrease", Qt::Key_Minus, Qt::ControlModifier | keypad, "Gamma (-): 1.00"},
      {"AcGammaOriginal", Qt::Key_Slash, Qt::ControlModifier | keypad, "Gamma (Original): 1.00"},
      {"AcBrightnessIncrease", Qt::Key_Plus, Qt::ShiftModifier | keypad, "Brightness (+): 1.00"},
      {"AcBrightnessDecrease", Qt::Key_Minus, Qt::ShiftModifier | keypad, "Brightness (-): 0.00"},
      {"AcBrightnessOriginal", Qt::Key_Slash, Qt::ShiftModifier | keypad, "Brightness (Original): 0.00"},
      {"AcContrastIncrease", Qt::Key_Plus, Qt::AltModifier | keypad, "Contrast (+): 1.00"},
      {"AcContrastDecrease", Qt::Key_Minus, Qt::AltModifier | keypad, "Contrast (-): 0.00"},
      {"AcContrastOriginal", Qt::Key_Slash, Qt::AltModifier | keypad, "Contrast (Original): 0.00"},
      {"acConvertToGrayScale", Qt::Key_G, Qt::NoModifier, ""},
      {"acResizeTo2160", Qt::Key_J, Qt::NoModifier, "Resized to 2160 height"},
      {"acResizeTo1080", Qt::Key_K, Qt::NoModifier, "Resized to 1080 height"},
      {"acResizeTo720", Qt::Key_L, Qt::NoModifier, "Resized to 720 height"},
      {"acReloadOriginal", Qt::Key_O, Qt::NoModifier, "Reloaded original"},
      {"acResizeToCustom", Qt::Key_P, Qt::NoModifier, ""},
  };
  WhenShown([](TfResizeTo& d) { d.btnOk->click(); });
  for (bool byMenu : {false, true}) {
    showings = 0;
    for (const TCommandKey& c : commands) {
      window->FlashMessage(QString(), 0);
      ASSERT_TRUE(window->MenuItem(QLatin1String(c.action))->isEnabled()) << c.action;
      if (byMenu)
        window->MenuItem(QLatin1String(c.action))->trigger();
      else
        QTest::keyClick(window.get(), c.key, c.modifiers);
      EXPECT_EQ(window->Message(), QLatin1String(c.message)) << c.action << (byMenu ? " menu" : " key");
      if (qstrcmp(c.action, "acConvertToGrayScale") == 0) {
        EXPECT_EQ(window->Bitmap().BPP(), 8u) << byMenu;
      }
      if (qstrcmp(c.action, "acResizeTo2160") == 0) Size(2880, 2160);
    }
    EXPECT_EQ(showings, 1) << byMenu;
    Size(40, 30);  // the dialog's boxes held the picture's own size
  }
  EXPECT_TRUE(errors.isEmpty());

  // Without its dialog the custom size is not offered.
  Tfmain bare(state, nullptr, 120);
  EXPECT_FALSE(bare.MenuItem(QStringLiteral("acResizeToCustom"))->isEnabled());
  EXPECT_TRUE(bare.MenuItem(QStringLiteral("acResizeTo1080"))->isEnabled());
}

}  // namespace
