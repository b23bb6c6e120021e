#pragma once

#include "viewer/tfmain.h"

#include "platform/message_box.h"
#include "support/images.h"
#include "support/private_home.h"
#include "support/temp_folder.h"

#include <QFile>
#include <gtest/gtest.h>

#include <memory>

// A real main window on the offscreen platform over a folder of small images
// that the test creates. Message boxes are answered by the test; a deleted
// file goes to the trash of a private home.
class TfmainFixture : public ::testing::Test {
protected:
  void TearDown() override { MessageBoxHooks() = TMessageBoxHooks{}; }

  // Writes a distinct small PNG named name (4 x 3, colour from the name).
  QString Image(const QString& name) {
    const std::uint32_t rgb = static_cast<std::uint32_t>(qHash(name)) & 0xFFFFFF;
    const QString path = dir.File(name);
    EXPECT_TRUE(testimg::Save(testimg::Solid24(4, 3, rgb), FIF_PNG, path));
    return path;
  }

  void Open(const QString& path, int screenPpi = 120) {
    DefaultSettings(state.Settings);
    state.Settings.SortType = SortByName;
    state.sAppDir = QStringLiteral(VELVANE_BUILD_DIR "/");
    state.sCurrentFile = path;
    window = std::make_unique<Tfmain>(state, nullptr, screenPpi);
    window->resize(800, 600);
    window->show();
  }

  void Run(const char* action) { ASSERT_TRUE(window->RunAction(window->Action(action))) << action; }
  QString Shown() const { return QFileInfo(state.sCurrentFile).fileName(); }

  PrivateHome home;
  TempFolder dir;
  TAppState state;
  std::unique_ptr<Tfmain> window;
};
