#include "viewer/view_geometry.h"

#include <gtest/gtest.h>

namespace {

TViewState View(bool zoomToFit, bool shrinkToFit, float zoom = 1.0f) {
  TViewState v;
  v.bZoomToFit = zoomToFit;
  v.bShrinkToFit = shrinkToFit;
  v.fZoom = zoom;
  return v;
}

TDrawRect Place(int CW, int CH, unsigned W, unsigned H, TViewState& v) {
  TDrawRect r;
  EXPECT_TRUE(PlaceImage(CW, CH, W, H, v, r));
  return r;
}

void ExpectRect(const TDrawRect& r, int x, int y, int w, int h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, w);
  EXPECT_EQ(r.height, h);
}

TEST(ViewGeometry, SmallImageIsCentredOrEnlargedByTheFitFlags) {
  TViewState v = View(false, true);
  ExpectRect(Place(1000, 800, 500, 400, v), 250, 200, 500, 400);
  EXPECT_EQ(v.iDrawWidth, 500);
  EXPECT_EQ(v.iDrawHeight, 400);

  v = View(true, true);
  ExpectRect(Place(1000, 800, 500, 400, v), 0, 0, 1000, 800);
}

TEST(ViewGeometry, AnImageAsWideAsTheClientIsNotSmallAndKeepsItsOffsets) {
  TViewState v = View(false, true);
  v.iOffsetY = 40;
  // 1000 x 400 has the window's width: not small, so shrink-to-fit applies
  // (width-limited) and the offsets survive.
  ExpectRect(Place(1000, 800, 1000, 400, v), 0, 240, 1000, 400);
  EXPECT_EQ(v.iOffsetY, 40);
}

TEST(ViewGeometry, AnImageInsideTheClientLosesItsOffsets) {
  TViewState v = View(false, false);
  v.iOffsetX = 20;
  v.iOffsetY = 40;
  ExpectRect(Place(1000, 800, 300, 200, v), 350, 300, 300, 200);
  EXPECT_EQ(v.iOffsetX, 0);
  EXPECT_EQ(v.iOffsetY, 0);
}

TEST(ViewGeometry, RatioTieTakesTheHeightLimitedBranch) {
  // 2000 x 1600 in 1000 x 800: equal ratios. Height-limited: height = CH*zoom.
  TViewState v = View(true, true, 1.2f);
  const TDrawRect r = Place(1000, 800, 2000, 1600, v);
  EXPECT_EQ(r.height, 960);  // round(800 * 1.2000000476837158)
  EXPECT_EQ(r.width, 1200);  // round(960 * 1.25)
}

TEST(ViewGeometry, HalvesRoundToEven) {
  EXPECT_EQ(RoundHalfEven(500.5), 500);
  EXPECT_EQ(RoundHalfEven(501.5), 502);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  // Drawn width 1001 with ratio 2.0 gives a height of 500. Width-limited needs
  // image ratio > window ratio: a 2000 x 1000 image in a 1001 x 800 area.
  TViewState v = View(true, true);
  const TDrawRect r = Place(1001, 800, 2000, 1000, v);
  EXPECT_EQ(r.width, 1001);
  EXPECT_EQ(r.height, 500);
}

TEST(ViewGeometry, CentringTruncatesTowardZero) {
  // A 1005-pixel-wide image in a 1000-pixel-wide client: x = -5 / 2 = -2.
  TViewState v = View(false, false);
  const TDrawRect r = Place(1000, 800, 1005, 100, v);
  EXPECT_EQ(r.x, -2);
}

TEST(ViewGeometry, ZoomStepsCarrySinglePrecision) {
  TViewState v = View(true, true);
  v.fZoom = v.fZoom + ZoomStep;
  v.fZoom = v.fZoom + ZoomStep;
  EXPECT_EQ(static_cast<double>(v.fZoom), 1.4000000953674316);
  const TDrawRect r = Place(1000, 800, 3000, 1000, v);  // width-limited
  EXPECT_EQ(r.width, 1400);
  EXPECT_EQ(r.height, 467);  // round(1400 / 3)
}

TEST(ViewGeometry, OffsetsAreScaledByTheZoom) {
  TViewState v = View(false, false, 2.0f);
  v.iOffsetX = 20;
  v.iOffsetY = -40;
  const TDrawRect r = Place(1000, 800, 1000, 800, v);  // 2000 x 1600 drawn
  EXPECT_EQ(r.x, -500 + 40);
  EXPECT_EQ(r.y, -400 - 80);
}

TEST(ViewGeometry, EmptyClientAreaOrImagePlacesNothing) {
  TViewState v = View(true, true);
  v.iDrawWidth = 7;
  TDrawRect r;
  EXPECT_FALSE(PlaceImage(0, 800, 100, 100, v, r));
  EXPECT_FALSE(PlaceImage(800, 0, 100, 100, v, r));
  EXPECT_FALSE(PlaceImage(800, 600, 0, 0, v, r));
  EXPECT_EQ(v.iDrawWidth, 7);
}

TEST(ViewGeometry, HugeZoomSaturatesInsteadOfOverflowing) {
  TViewState v = View(false, false, 1e9f);
  const TDrawRect r = Place(1000, 800, 5000, 4000, v);
  EXPECT_EQ(r.width, INT_MAX);
  EXPECT_LE(r.x, 0);
}

// The guard judges the size the step would give, not the size before it.
TEST(ViewGeometry, ZoomOutStopsBeforeThePictureWouldFallBelowTheGuard) {
  // Fitted in 1000 x 800, a 2:1 picture is width-limited: 1000 x 500 at zoom 1.
  TViewState v = View(true, true);
  int steps = 0;
  while (ZoomOutAllowed(1000, 800, 2000, 1000, v) && steps < 20) {
    v.fZoom -= ZoomStep;
    ++steps;
  }
  // 0.4 draws 400 x 200; 0.2 would draw 200 x 100, below 150.
  EXPECT_EQ(steps, 3);
  EXPECT_FLOAT_EQ(v.fZoom, 0.4f);

  // 160 pixels at 1:1: a step to 128 is refused, although 160 is above the guard.
  TViewState original = View(false, false);
  EXPECT_FALSE(ZoomOutAllowed(1000, 800, 160, 160, original));
  EXPECT_TRUE(ZoomOutAllowed(1000, 800, 190, 190, original));  // 152

  // However large the picture, the zoom never reaches 0.
  TViewState huge = View(false, false, 0.2f);
  EXPECT_FALSE(ZoomOutAllowed(1000, 800, 100000, 100000, huge));

  // No picture to place: the last drawn size, scaled as the step would scale it.
  TViewState empty = View(true, true);
  empty.iDrawWidth = 1000;
  empty.iDrawHeight = 180;
  EXPECT_FALSE(ZoomOutAllowed(1000, 800, 0, 0, empty));  // 180 * 0.8 = 144
  empty.iDrawHeight = 200;
  EXPECT_TRUE(ZoomOutAllowed(1000, 800, 0, 0, empty));
}

}  // namespace
