// Test entry point for everything that touches Qt: the offscreen platform,
// and a private config folder so no test reads or writes the user's settings.
#include "decoder/extra_formats_plugin.h"

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir configHome;
  if (!configHome.isValid()) return 2;
  setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);

  FreeImage_Initialise(FALSE);
  // As the viewer names them (a test that decodes gives them their readers).
  decoder::RegisterExtraFormats();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  FreeImage_DeInitialise();
  return result;
}
