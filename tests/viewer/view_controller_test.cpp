// The view commands' arithmetic, without a window.
#include "viewer/view_controller.h"

#include <gtest/gtest.h>

namespace {

struct ViewControllerTest : ::testing::Test {
  TViewState view;
  TPointerState pointer;
  TViewController controller{view, pointer};
};

TEST_F(ViewControllerTest, ZoomOutIsRefusedBelowTheGuardAndNeverReachesZero) {
  controller.OriginalSize();
  controller.ZoomIn();
  controller.ZoomIn();
  EXPECT_EQ(static_cast<double>(view.fZoom), 1.4000000953674316);
  // 160 pixels at 0.8 would draw 128, below the guard.
  view.fZoom = 1.0f;
  EXPECT_FALSE(controller.ZoomOut(1000, 800, 160, 160));
  EXPECT_EQ(view.fZoom, 1.0f);
  // A large picture steps down until the next step would take the zoom to 0.
  int steps = 0;
  while (controller.ZoomOut(1000, 800, 100000, 100000)) ++steps;
  EXPECT_GT(view.fZoom, 0.0f);
  EXPECT_EQ(steps, 4);
}

TEST_F(ViewControllerTest, PanStepsAndFitAndOriginalSizeResetZoomAndOffsetsOnly) {
  controller.PanLeft();
  controller.PanUp();
  EXPECT_EQ(view.iOffsetX, 20);
  EXPECT_EQ(view.iOffsetY, 40);
  controller.PanRight();
  controller.PanRight();
  controller.PanDown();
  EXPECT_EQ(view.iOffsetX, -20);
  EXPECT_EQ(view.iOffsetY, 0);

  controller.ZoomIn();
  controller.OriginalSize();
  EXPECT_FALSE(view.bZoomToFit);
  EXPECT_FALSE(view.bShrinkToFit);
  EXPECT_EQ(view.fZoom, 1.0f);
  EXPECT_EQ(view.iOffsetX, 0);
  controller.ZoomIn();
  controller.PanLeft();
  controller.Reset();  // a new picture keeps the fit flags
  EXPECT_EQ(view.fZoom, 1.0f);
  EXPECT_EQ(view.iOffsetX, 0);
  EXPECT_FALSE(view.bZoomToFit);
  controller.FitToScreen();
  EXPECT_TRUE(view.bZoomToFit);
  EXPECT_TRUE(view.bShrinkToFit);
}

TEST_F(ViewControllerTest, ADragMovesByThePointersTravelFromTheOffsetsAtThePress) {
  view.iDrawWidth = 2000;
  view.iDrawHeight = 500;
  view.iOffsetX = 7;
  view.iOffsetY = -3;
  controller.StartDrag(100, 100);
  EXPECT_TRUE(controller.DragTo(130, 90, 1000, 800));
  EXPECT_EQ(view.iOffsetX, 37);
  EXPECT_EQ(view.iOffsetY, -13);
  // Moves are measured from the press, not from the last move.
  EXPECT_TRUE(controller.DragTo(90, 100, 1000, 800));
  EXPECT_EQ(view.iOffsetX, -3);
  EXPECT_EQ(view.iOffsetY, -3);
  // A picture that fits wholly stays put.
  view.iDrawWidth = 1000;
  EXPECT_FALSE(controller.DragTo(500, 500, 1000, 800));
  EXPECT_EQ(view.iOffsetX, -3);
}

}  // namespace
