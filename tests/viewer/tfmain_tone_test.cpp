// Tone steps and grey-scale through the real window on real pixels: every
// step starts from the file, the limits refuse with a message and a beep,
// and a new file starts from neutral.
#include "tfmain_fixture.h"

#include "edit_test_support.h"
#include "platform/desktop_services.h"

#include <QLocale>

namespace {

class ToneTest : public TfmainFixture {
protected:
  void SetUp() override {
    BeepHook() = [this] { ++beeps; };
    MessageBoxHooks().error = [this](const QString& text, const QString&) { errors << text; };
  }
  void TearDown() override {
    BeepHook() = nullptr;
    TfmainFixture::TearDown();
  }
  QString Photo(const QString& name, FIBITMAP* picture) {
    const QString path = dir.File(name);
    EXPECT_TRUE(testimg::Save(picture, FIF_PNG, path));
    return path;
  }
  QString Photo(const QString& name) { return Photo(name, FreeImage_Clone(Pattern(64, 48).get())); }
  // The file decoded afresh with the three values applied.
  TDib Expected(double gamma, double brightness, double contrast) {
    TDib dib = DecodeFile(state.sCurrentFile.toStdString());
    ApplyToneAdjustments(dib.get(), gamma, brightness, contrast);
    return dib;
  }
  double FromExpected(double gamma, double brightness, double contrast) {
    return MeanDifference(window->Bitmap().Dib(), Expected(gamma, brightness, contrast).get());
  }

  int beeps = 0;
  QStringList errors;
};

TEST_F(ToneTest, EachStepAppliesTheThreeValuesToAFreshDecodeAndKeepsTheView) {
  Open(Photo("photo.png"));
  Run("AcZoomIn");
  Run("AcLeft");
  const TViewState view = state.View;
  for (const char* message : {"Gamma (+): 1.05", "Gamma (+): 1.10", "Gamma (+): 1.15"}) {
    Run("AcGammaIncrease");
    EXPECT_EQ(window->Message(), message);
  }
  EXPECT_EQ(window->MessageTicks(), 9);
  EXPECT_EQ(FromExpected(1.15, 0, 0), 0.0);
  // Not piled up step on step.
  TDib piled = Expected(1.05, 0, 0);
  FreeImage_AdjustGamma(piled.get(), 1.10);
  FreeImage_AdjustGamma(piled.get(), 1.15);
  EXPECT_GT(MeanDifference(window->Bitmap().Dib(), piled.get()), 1.0);
  EXPECT_EQ(state.View.fZoom, view.fZoom);
  EXPECT_EQ(state.View.iOffsetX, view.iOffsetX);
  EXPECT_TRUE(window->bWorkingImageEdited);

  Run("AcBrightnessIncrease");
  Run("AcContrastDecrease");
  EXPECT_EQ(window->Message(), "Contrast (-): -1.00");
  Run("AcGammaOriginal");
  EXPECT_EQ(window->Message(), "Gamma (Original): 1.00");
  EXPECT_EQ(FromExpected(1.0, 1.0, -1.0), 0.0);
  EXPECT_GT(FromExpected(1.0, 0, 0), 0.0);

  // All neutral again: the file's own pixels, nothing left to re-encode.
  Run("AcBrightnessOriginal");
  Run("AcContrastOriginal");
  EXPECT_EQ(window->Message(), "Contrast (Original): 0.00");
  EXPECT_EQ(FromExpected(1.0, 0, 0), 0.0);
  EXPECT_FALSE(window->bWorkingImageEdited);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ToneTest, ALimitShowsTheValueBeepsAndReadsNothing) {
  const QString path = Photo("photo.png");
  Open(path);
  for (int step = 0; step < 100; ++step) Run("AcBrightnessIncrease");
  EXPECT_EQ(window->Message(), "Brightness (+): 100.00");
  EXPECT_EQ(beeps, 0);
  const TDib shown(FreeImage_Clone(window->Bitmap().Dib()));

  // Another picture in the file now: a refused step does not read it.
  Photo("photo.png", testimg::Solid24(64, 48, 0x204060));
  Run("AcBrightnessIncrease");
  EXPECT_EQ(window->Message(), "Brightness: 100.00");
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(state.Tone.fBrightness, 100.0);
  EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), shown.get()), 0.0);

  for (int step = 0; step < 18; ++step) Run("AcGammaDecrease");
  EXPECT_EQ(window->Message(), "Gamma (-): 0.10");
  Run("AcGammaDecrease");
  EXPECT_EQ(window->Message(), "Gamma: 0.10");
  EXPECT_EQ(beeps, 2);
}

TEST_F(ToneTest, GreyScaleConvertsTheWorkingImageAndAToneStepBringsTheColoursBack) {
  Open(Photo("photo.png"));
  Run("AcGammaIncrease");
  Run("acConvertToGrayScale");
  EXPECT_EQ(window->Bitmap().BPP(), 8u);
  EXPECT_EQ(FreeImage_GetColorType(window->Bitmap().Dib()), FIC_MINISBLACK);
  TDib grey(FreeImage_ConvertToGreyscale(Expected(1.05, 0, 0).get()));  // as it stood: with the gamma
  EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), grey.get()), 0.0);
  EXPECT_EQ(state.Tone.fGamma, 1.05);
  EXPECT_EQ(window->Message(), "Gamma (+): 1.05");  // no message of its own

  Run("AcContrastIncrease");
  EXPECT_EQ(window->Bitmap().BPP(), 24u);
  EXPECT_EQ(FromExpected(1.05, 0, 1.0), 0.0);

  // A picture that is grey already is not an edit.
  window->LoadImage(Photo("grey.png", FreeImage_ConvertToGreyscale(Pattern(64, 48).get())), true, true);
  Run("acConvertToGrayScale");
  EXPECT_FALSE(window->bWorkingImageEdited);
}

TEST_F(ToneTest, ANewFileStartsFromNeutralInTheLocalesNotation) {
  Photo("a.png");
  Photo("b.png", FreeImage_ConvertTo32Bits(Pattern(30, 20).get()));
  Open(dir.File("a.png"));
  Run("AcGammaIncrease");
  Run("AcContrastIncrease");
  Run("AcNext");
  ASSERT_EQ(Shown(), "b.png");
  Run("AcGammaIncrease");
  EXPECT_EQ(window->Message(), "Gamma (+): 1.05");
  EXPECT_EQ(FromExpected(1.05, 0, 0), 0.0);

  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  Run("AcGammaIncrease");
  const QString german = window->Message();
  QLocale::setDefault(previous);
  EXPECT_EQ(german, "Gamma (+): 1,10");
}

TEST_F(ToneTest, AFileThatCannotBeDecodedAnyMoreStillMovesTheValue) {
  const QString path = Photo("photo.png");
  Open(path);
  QByteArray png = testimg::ReadFile(path);
  png.truncate(60);  // header and the start of the pixels
  dir.Write("photo.png", png);
  Run("AcBrightnessDecrease");
  EXPECT_EQ(window->Message(), "Brightness (-): -1.00");
  EXPECT_FALSE(window->Bitmap().IsValid());
  Run("acConvertToGrayScale");
  EXPECT_FALSE(window->Bitmap().IsValid());
  EXPECT_TRUE(errors.isEmpty());
}

// A file in which neither the content nor the name tells a format any more
// (a PNG under a name of its own, overwritten with text): the picture still
// shown is the adjusted one, which a step must not adjust again. The step
// says so and changes nothing, as a resize does.
TEST_F(ToneTest, AFileThatIsNoPictureAnyMoreIsReportedAndNothingChanges) {
  const QString path = Photo("photo.data");
  Open(path);
  Run("AcGammaIncrease");
  Run("AcBrightnessIncrease");
  const TDib adjusted(FreeImage_Clone(window->Bitmap().Dib()));
  ASSERT_TRUE(adjusted);
  dir.Write("photo.data", "not a picture any more");
  for (const char* command : {"AcBrightnessIncrease", "AcGammaDecrease", "AcContrastOriginal"}) {
    window->FlashMessage(QString(), 0);
    Run(command);
    EXPECT_EQ(window->Message(), QString::fromLatin1(command).contains("Gamma")
                                     ? "Gamma was not changed: the file could not be read"
                                 : QString::fromLatin1(command).contains("Contrast")
                                     ? "Contrast was not changed: the file could not be read"
                                     : "Brightness was not changed: the file could not be read")
        << command;
    EXPECT_EQ(MeanDifference(window->Bitmap().Dib(), adjusted.get()), 0.0) << command;
  }
  EXPECT_DOUBLE_EQ(state.Tone.fGamma, 1.05);
  EXPECT_EQ(state.Tone.fBrightness, 1.0);
  EXPECT_TRUE(window->bWorkingImageEdited);  // still not the file's own pixels
  EXPECT_EQ(beeps, 0);
}

}  // namespace
