// The main window while the decoder works: a slow decode keeps the window
// alive and can be ended with the Quit key or by closing the window; keys
// pressed meanwhile run after the load, in order; damaged files among good
// photos never stop the walk through a folder.
#include "tfmain_fixture.h"

#include "../decoder/hostile_files.h"
#include "decoder/decoder_client.h"
#include "viewer/overlay_layout.h"

#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

class DecodeWaitTest : public TfmainFixture {
protected:
  void SetUp() override {
    good = Image("a-good.png");
    // Crafted once for the suite: its thousands of scans take a while to write.
    static const QByteArray slowBytes = hostile::JpegWithEmptyScans(2048, 2048, 20000);
    slow = dir.Write("b-slow.jpg", slowBytes);
    after = Image("c-after.png");
    client.SetTimeLimit(std::chrono::seconds(20));
  }
  void TearDown() override {
    client.SetTimeLimit(std::chrono::seconds(10));
    TfmainFixture::TearDown();
  }
  // Runs what at ms milliseconds, from inside the load's wait (which starts
  // a quarter of a second into the load: the timer cannot fire before it).
  void At(int ms, std::function<void()> what) { QTimer::singleShot(ms, window.get(), std::move(what)); }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(window.get(), key, mods); }

  QString good, slow, after;
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
};

TEST_F(DecodeWaitTest, TheQuitKeyEndsASlowDecodeWithTheImageEmptyAndCloses) {
  Open(good);
  bool waitingAtPress = false;
  QString messageAtPress;
  At(300, [&] {
    waitingAtPress = window->WaitingForDecode();
    messageAtPress = window->Message();
    Key(Qt::Key_Escape);
  });
  const auto started = Clock::now();
  Run("AcNext");
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
  EXPECT_TRUE(waitingAtPress);
  EXPECT_EQ(messageAtPress, QStringLiteral("Loading..."));
  EXPECT_FALSE(window->Bitmap().IsValid());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("b-slow.jpg  (0 x 0) - Velvane Photo Viewer"));
  QTest::qWait(50);
  EXPECT_FALSE(window->isVisible()) << "the window closes after the wait";
}

TEST_F(DecodeWaitTest, ClosingTheWindowEndsASlowDecode) {
  Open(good);
  At(300, [&] { window->close(); });
  const auto started = Clock::now();
  Run("AcNext");
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
  EXPECT_FALSE(window->Bitmap().IsValid());
  QTest::qWait(50);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(DecodeWaitTest, KeysPressedDuringTheWaitRunAfterTheLoadInOrder) {
  client.SetTimeLimit(std::chrono::milliseconds(900));
  Open(good);
  bool infoDuringWait = true;
  float zoomDuringWait = 0;
  At(300, [&] {
    Key(Qt::Key_N);                         // File info
    Key(Qt::Key_Plus, Qt::KeypadModifier);  // Zoom in
    Key(Qt::Key_Plus, Qt::KeypadModifier);
    Key(Qt::Key_Minus, Qt::KeypadModifier);  // Zoom out
    infoDuringWait = state.bShowFileInfo;
    zoomDuringWait = state.View.fZoom;
  });
  Run("AcNext");  // ends at the time limit, empty
  EXPECT_FALSE(infoDuringWait) << "a key ran inside the load";
  EXPECT_EQ(zoomDuringWait, 1.0f);
  EXPECT_FALSE(window->Bitmap().IsValid());
  QTest::qWait(50);
  EXPECT_TRUE(state.bShowFileInfo);
  EXPECT_NEAR(state.View.fZoom, 1.2f, 1e-5);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(DecodeWaitTest, ALoadAskedForDuringTheWaitRunsAfterIt) {
  client.SetTimeLimit(std::chrono::milliseconds(800));
  Open(good);
  QString shownDuringWait;
  At(300, [&] {
    window->LoadImage(after, true, true);
    shownDuringWait = Shown();
  });
  Run("AcNext");
  EXPECT_EQ(shownDuringWait, "b-slow.jpg") << "the second load ran inside the first";
  EXPECT_EQ(Shown(), "b-slow.jpg");
  QTest::qWait(50);
  EXPECT_EQ(Shown(), "c-after.png");
  EXPECT_TRUE(window->Bitmap().IsValid());
}

TEST_F(DecodeWaitTest, NextDuringTheWaitSkipsTheSlowFile) {
  Open(good);
  At(300, [&] { Key(Qt::Key_Space); });
  const auto started = Clock::now();
  Run("AcNext");
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
  QTest::qWait(50);
  EXPECT_EQ(Shown(), "c-after.png");
  EXPECT_EQ(window->Bitmap().Width(), 4u);
  EXPECT_TRUE(window->Message().isEmpty());
}

TEST_F(DecodeWaitTest, SixtySpacesThroughDamagedFilesAndGoodPhotos) {
  // Three of the damaged files hang the decoder until the time limit: short,
  // but far above the few milliseconds a good photo here takes.
  client.SetTimeLimit(std::chrono::milliseconds(500));
  TempFolder mixed;
  struct TGood {
    QString name;
    std::uint32_t rgb;
  };
  const std::vector<TGood> photos = {
      {"g1.png", 0x20A040}, {"g2.jpg", 0xC02020}, {"g3.png", 0x2040C0}, {"g4.tif", 0xE0C020}, {"g5.bmp", 0x808080}};
  for (const TGood& g : photos) {
    const QString path = mixed.File(g.name);
    const FREE_IMAGE_FORMAT fif = FreeImage_GetFIFFromFilename(path.toUtf8().constData());
    ASSERT_TRUE(testimg::Save(testimg::Solid24(64, 48, g.rgb), fif, path));
  }
  const std::vector<hostile::TFile> damaged = hostile::All();
  for (const hostile::TFile& f : damaged) mixed.Write(f.name, f.bytes);
  // Each pass round the folder shows every good photo once.
  const int goodExpected = static_cast<int>(60 * photos.size() / (photos.size() + damaged.size()));

  DefaultSettings(state.Settings);
  state.Settings.SortType = SortByName;
  state.sAppDir = QStringLiteral(VELVANE_BUILD_DIR "/");
  state.sCurrentFile = mixed.File(photos[0].name);
  window = std::make_unique<Tfmain>(state, nullptr, 120);
  window->resize(400, 300);
  window->show();

  int goodShown = 0;
  const auto started = Clock::now();
  for (int press = 0; press < 60; ++press) {
    Key(Qt::Key_Space);
    QTest::qWait(1);
    const QString name = Shown();
    SCOPED_TRACE(name.toStdString());
    for (const TGood& g : photos) {
      if (g.name != name) continue;
      ++goodShown;
      ASSERT_TRUE(window->Bitmap().IsValid());
      EXPECT_EQ(window->Bitmap().Width(), 64u);
      const QRgb centre = window->Frame().pixel(200, 150);
      // JPEG may shift a solid colour by a step or two.
      EXPECT_NEAR(qRed(centre), static_cast<int>(g.rgb >> 16), 3);
      EXPECT_NEAR(qGreen(centre), static_cast<int>((g.rgb >> 8) & 0xFF), 3);
      EXPECT_NEAR(qBlue(centre), static_cast<int>(g.rgb & 0xFF), 3);
      EXPECT_EQ(window->windowTitle(), name + QStringLiteral("  (64 x 48) - Velvane Photo Viewer"));
    }
  }
  EXPECT_GE(goodShown, goodExpected - 4);
  EXPECT_TRUE(window->isVisible());
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(90));
}

}  // namespace

namespace {

// Whether the frame's middle rows hold the message box's colour.
bool MessageBoxInTheMiddle(const QImage& frame) {
  for (int y = frame.height() / 2 - 12; y < frame.height() / 2 + 12; ++y)
    for (int x = 0; x < frame.width(); ++x)
      if (frame.pixel(x, y) == MessageBackground.rgb()) return true;
  return false;
}

// A file that shows no picture says why on the picture area, for as long as
// it is on display: past any flashed message, through repaints, until the
// next file.
TEST_F(DecodeWaitTest, AFileThatCannotBeShownSaysWhyWhileItIsOnDisplay) {
  Open(good);
  EXPECT_TRUE(window->LoadProblem().isEmpty());
  EXPECT_FALSE(MessageBoxInTheMiddle(window->Frame()));
  const QString damaged = dir.Write("d-damaged.jpg", QByteArray("\xFF\xD8\xFF\xE0garbage", 11));
  window->LoadImage(damaged, true, true);
  EXPECT_EQ(window->LoadProblem(), QStringLiteral("Cannot open d-damaged.jpg: the file is damaged"));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("d-damaged.jpg  (0 x 0) - Velvane Photo Viewer"));
  EXPECT_TRUE(MessageBoxInTheMiddle(window->Frame()));
  window->FlashMessage(QStringLiteral("Sort by name"), 900);
  for (int tick = 0; tick < 12; ++tick) window->Timer1Timer();
  window->Repaint();
  EXPECT_TRUE(MessageBoxInTheMiddle(window->Frame())) << "still said after the message has gone";

  window->LoadImage(dir.File("e-gone.png"), true, true);
  EXPECT_EQ(window->LoadProblem(), QStringLiteral("Cannot open e-gone.png: the file does not exist"));
  window->LoadImage(after, true, true);
  EXPECT_TRUE(window->LoadProblem().isEmpty());
  EXPECT_FALSE(MessageBoxInTheMiddle(window->Frame()));
}

}  // namespace
