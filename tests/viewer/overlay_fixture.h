#pragma once

#include "viewer/overlay_layout.h"

#include "platform/free_bitmap.h"
#include "support/temp_folder.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

// An overlay input for an 800 x 600 client area with the unscaled panel box;
// the working image a test sets is freed afterwards.
class TOverlayFixture : public ::testing::Test {
protected:
  void SetUp() override {
    in.clientWidth = 800;
    in.clientHeight = 600;
    in.bevelHeight = 49;
  }
  void TearDown() override { TFreeBitmap{in.working}.Clear(); }
  TOverlayInput in;
  TempFolder folder;
};
