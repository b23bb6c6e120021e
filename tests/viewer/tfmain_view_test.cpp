// The main window's view commands, run through its real actions.
#include "viewer/tfmain.h"

#include "support/images.h"
#include "support/temp_folder.h"

#include <QAction>
#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

class TfmainViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    DefaultSettings(state.Settings);
    state.sAppDir = QStringLiteral(VELVANE_BUILD_DIR "/");
    state.sCurrentFile = dir.File("big.png");
    ASSERT_TRUE(testimg::Save(testimg::Solid24(2000, 1000, 0x2060A0), FIF_PNG, state.sCurrentFile));
    window = std::make_unique<Tfmain>(state);
    window->resize(1000, 800);
    window->FormPaint();
  }
  void Run(const char* name) { ASSERT_TRUE(window->RunAction(window->Action(name))) << name; }

  TempFolder dir;
  TAppState state;
  std::unique_ptr<Tfmain> window;
};

TEST_F(TfmainViewTest, OpensWithCaptionResInfoAndAFittedPicture) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("big.png  (2000 x 1000) - Velvane Photo Viewer"));
  EXPECT_EQ(window->ResInfoItem()->text(), QStringLiteral("Original: 2000x1000"));
  EXPECT_FALSE(window->ResInfoItem()->isEnabled());
  EXPECT_EQ(window->Frame().size(), QSize(1000, 800));
  EXPECT_EQ(state.View.iDrawWidth, 1000);
  EXPECT_EQ(state.View.iDrawHeight, 500);
  EXPECT_EQ(window->Frame().pixel(500, 400), 0xFF2060A0);
  EXPECT_EQ(window->Frame().pixel(500, 100), 0xFF000000);
}

TEST_F(TfmainViewTest, AFloatImageAfterAPhotoLeavesNoneOfThePhotoOnScreen) {
  const QString hdr = dir.File("float.tif");
  ASSERT_TRUE(testimg::Save(FreeImage_AllocateT(FIT_RGBF, 300, 200, 96), FIF_TIFF, hdr));
  window->LoadImage(hdr, true, true);
  ASSERT_EQ(window->Bitmap().BPP(), 96u);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("float.tif  (300 x 200) - Velvane Photo Viewer"));
  const QImage& frame = window->Frame();
  for (int y = 0; y < frame.height(); y += 7)
    for (int x = 0; x < frame.width(); x += 7) ASSERT_EQ(frame.pixel(x, y), 0xFF000000) << x << "," << y;
}

TEST_F(TfmainViewTest, ZoomStepsAndTheZoomOutGuard) {
  Run("AcZoomIn");
  Run("AcZoomIn");
  EXPECT_EQ(static_cast<double>(state.View.fZoom), 1.4000000953674316);
  EXPECT_EQ(state.View.iDrawWidth, 1400);

  window->OriginalSize();
  window->LoadImage(dir.Write("small.png", {}), true, true);  // empty image: guard reads the last paint
  ASSERT_TRUE(testimg::Save(testimg::Solid24(160, 160, 0x808080), FIF_PNG, dir.File("small.png")));
  window->LoadImage(dir.File("small.png"), true, true);
  EXPECT_EQ(state.View.iDrawWidth, 160);
  Run("AcZoomOut");  // 0.8 would draw 128, below the guard: refused
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.0f);
  EXPECT_EQ(state.View.iDrawWidth, 160);
}

TEST_F(TfmainViewTest, TenZoomOutStepsFromFitInFullScreenStillDrawThePicture) {
  window->show();
  window->ToggleFullscreen();
  ASSERT_TRUE(state.bFullScreen);
  QCoreApplication::processEvents();
  window->FitToScreen();
  // The screen must be large enough for one step from 0.2 to pass the old
  // guard, which looked at the size before the step.
  const QSize client = window->DeviceClientSize();
  ASSERT_GE(client.height(), 960) << "run on the large offscreen screen";
  for (int i = 0; i < 10; ++i) Run("AcZoomOut");
  EXPECT_GT(state.View.fZoom, 0.0f);
  EXPECT_GE(state.View.iDrawWidth, 150);
  EXPECT_GE(state.View.iDrawHeight, 150);
  // The picture's colour is at the centre of the frame.
  EXPECT_EQ(window->Frame().pixel(client.width() / 2, client.height() / 2), 0xFF2060A0);
  // Further steps are refused.
  const float zoom = state.View.fZoom;
  Run("AcZoomOut");
  EXPECT_EQ(state.View.fZoom, zoom);
}

TEST_F(TfmainViewTest, PanCommandsMoveByTwentyAndForty) {
  window->OriginalSize();  // 2000 x 1000 at 1:1 is larger than the client
  Run("AcLeft");
  Run("AcUp");
  EXPECT_EQ(state.View.iOffsetX, 20);
  EXPECT_EQ(state.View.iOffsetY, 40);
  Run("AcRight");
  Run("AcRight");
  Run("AcDown");
  EXPECT_EQ(state.View.iOffsetX, -20);
  EXPECT_EQ(state.View.iOffsetY, 0);
  // The picture moved 20 pixels left of centre: x = (1000 - 2000) / 2 - 20.
  EXPECT_EQ(window->Frame().pixel(0, 400), 0xFF2060A0);
}

TEST_F(TfmainViewTest, FitAndOriginalSizeSetTheFlagsAndResetZoomAndOffsets) {
  window->OriginalSize();
  Run("AcZoomIn");
  Run("AcLeft");
  Run("AcFitToScreen");
  EXPECT_TRUE(state.View.bZoomToFit);
  EXPECT_TRUE(state.View.bShrinkToFit);
  EXPECT_EQ(state.View.fZoom, 1.0f);
  EXPECT_EQ(state.View.iOffsetX, 0);
  Run("AcOriginalSize");
  EXPECT_FALSE(state.View.bZoomToFit);
  EXPECT_FALSE(state.View.bShrinkToFit);
  EXPECT_EQ(state.View.iDrawWidth, 2000);
  // Neither touches the stored settings.
  EXPECT_TRUE(state.Settings.ZoomToFit);
}

TEST_F(TfmainViewTest, LoadWithResetRestoresZoomOffsetsAndToneButNotTheFitFlags) {
  window->OriginalSize();
  Run("AcZoomIn");
  Run("AcLeft");
  state.Tone.fGamma = 1.5;
  window->LoadImage(state.sCurrentFile, false, true);
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.2f);
  EXPECT_EQ(state.Tone.fGamma, 1.5);
  window->Reload();
  EXPECT_EQ(state.View.fZoom, 1.0f);
  EXPECT_EQ(state.View.iOffsetX, 0);
  EXPECT_EQ(state.Tone.fGamma, 1.0);
  EXPECT_FALSE(state.View.bZoomToFit);
}

TEST_F(TfmainViewTest, AnUnreadableFileKeepsThePictureButNamesTheFile) {
  const QString text = dir.Write("readme.txt", "hello");
  window->LoadImage(text, true, true);
  EXPECT_EQ(state.sCurrentFile, text);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("readme.txt  (2000 x 1000) - Velvane Photo Viewer"));
  EXPECT_TRUE(window->Bitmap().IsValid());
}

TEST_F(TfmainViewTest, ZeroSizedClientAreaPaintsNothingAndRaisesNothing) {
  window->resize(0, 0);
  window->FormPaint();
  EXPECT_TRUE(window->Frame().isNull());
  EXPECT_EQ(state.View.iDrawWidth, 1000);  // the last paint that had room
}

TEST_F(TfmainViewTest, ActionsComeInTheirFixedOrderWithTheirCaptions) {
  const auto& items = window->Actions().Items();
  ASSERT_EQ(items.size(), 49u);
  EXPECT_EQ(items.front()->Name(), QStringLiteral("AcNext"));
  EXPECT_EQ(items.back()->Name(), QStringLiteral("AcNext2"));
  EXPECT_EQ(window->Action("AcZoomIn")->Caption(), QStringLiteral("Zoom in"));
  EXPECT_EQ(window->Action("AcFitToScreen")->Caption(), QStringLiteral("Fit to screen"));
  EXPECT_EQ(window->Action("AcOriginalSize")->Caption(), QStringLiteral("Original size"));
  EXPECT_EQ(window->Action("AcSaveAs")->Caption(), QStringLiteral("Save as..."));
  EXPECT_EQ(window->Action("AcSaveAs")->Hint(), QStringLiteral("Save as  (Hotkey: Ctrl+W)"));
}

}  // namespace
