// The main window on a high-density screen: ctest runs this at device pixel
// ratios 2 and 1.5 (QT_SCALE_FACTOR). The picture is laid out and drawn in
// device pixels, the panel and the overlay texts in logical units.
#include "tfmain_fixture.h"

#include "viewer/overlay_layout.h"
#include "viewer/panel_button.h"
#include "viewer/picture_painter.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QMouseEvent>
#include <QPixmap>

namespace {

// Each pixel tells its own image position: red and green hold the column,
// blue the row.
QRgb Coded(unsigned x, unsigned y) { return qRgb(x & 0xFF, (x >> 8) * 32 + 16, y & 0xFF); }

FIBITMAP* CodedImage(unsigned width, unsigned height) {
  FIBITMAP* dib = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24);
  for (unsigned y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y));
    for (unsigned x = 0; x < width; ++x) {
      const QRgb c = Coded(x, y);
      line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(qRed(c));
      line[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(qGreen(c));
      line[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>(qBlue(c));
    }
  }
  return dib;
}

class HiDpiTest : public TfmainFixture {
protected:
  void SetUp() override {
    ratio = qApp->devicePixelRatio();
    const QByteArray wanted = qgetenv("QT_SCALE_FACTOR");
    if (!wanted.isEmpty()) {
      ASSERT_DOUBLE_EQ(ratio, wanted.toDouble());
    }
  }
  void OpenCoded(unsigned width, unsigned height) {
    const QString path = dir.File("coded.png");
    ASSERT_TRUE(testimg::Save(CodedImage(width, height), FIF_PNG, path));
    Open(path);
    ASSERT_DOUBLE_EQ(window->devicePixelRatioF(), ratio);
  }
  // The frame's pixel at device position (x, y), alpha included.
  QRgb At(int x, int y) const { return window->Frame().pixel(x, y); }
  void Press(QPointF at) { Send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
  void Drag(QPointF at) { Send(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
  void Send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, window->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &e);
  }
  int Device(int logical) const { return qRound(logical * ratio); }

  double ratio = 1.0;
};

TEST_F(HiDpiTest, TheFrameCoversTheClientAreaInDevicePixels) {
  OpenCoded(40, 30);
  EXPECT_EQ(window->size(), QSize(800, 600));
  EXPECT_EQ(window->Frame().size(), QSize(Device(800), Device(600)));
  EXPECT_EQ(window->Frame().devicePixelRatio(), ratio);
  // Fitting fills the device client area: 40 x 30 is limited by the height.
  EXPECT_EQ(state.View.iDrawHeight, Device(600));
  EXPECT_EQ(state.View.iDrawWidth, qRound(Device(600) * 40.0 / 30.0));
}

TEST_F(HiDpiTest, OriginalSizeShowsOneImagePixelPerDevicePixel) {
  OpenCoded(37, 23);
  window->OriginalSize();
  EXPECT_EQ(state.View.iDrawWidth, 37);
  EXPECT_EQ(state.View.iDrawHeight, 23);
  const int x0 = (Device(800) - 37) / 2;
  const int y0 = (Device(600) - 23) / 2;
  for (unsigned y = 0; y < 23; ++y)
    for (unsigned x = 0; x < 37; ++x) ASSERT_EQ(At(x0 + x, y0 + y), Coded(x, y)) << x << "," << y;
  EXPECT_EQ(At(x0 - 1, y0), BackgroundColor);
  EXPECT_EQ(At(x0 + 37, y0 + 22), BackgroundColor);
}

TEST_F(HiDpiTest, TheFrameReachesTheWindowPixelForPixel) {
  OpenCoded(37, 23);
  window->OriginalSize();
  window->HideControlsOnPanel();
  const QImage shown = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), window->Frame().size());
  const int x0 = (Device(800) - 37) / 2;
  const int y0 = (Device(600) - 23) / 2;
  for (unsigned y = 0; y < 23; ++y)
    for (unsigned x = 0; x < 37; ++x) ASSERT_EQ(shown.pixel(x0 + x, y0 + y), Coded(x, y)) << x << "," << y;
}

TEST_F(HiDpiTest, TheZoomOutGuardCountsDevicePixels) {
  OpenCoded(200, 200);
  window->OriginalSize();
  ASSERT_EQ(state.View.iDrawWidth, 200);  // fewer than 150 logical pixels at this ratio
  Run("AcZoomOut");                       // 160 device pixels: allowed
  EXPECT_FLOAT_EQ(state.View.fZoom, 0.8f);
  EXPECT_EQ(state.View.iDrawWidth, 160);
  Run("AcZoomOut");  // 120 would be too small: refused
  EXPECT_FLOAT_EQ(state.View.fZoom, 0.8f);
}

TEST_F(HiDpiTest, PanStepsMoveThePictureByDevicePixels) {
  OpenCoded(2000, 1500);
  window->OriginalSize();
  const int x0 = (Device(800) - 2000) / 2;
  const int y0 = (Device(600) - 1500) / 2;
  Run("AcLeft");
  Run("AcUp");
  EXPECT_EQ(state.View.iOffsetX, 20);
  EXPECT_EQ(state.View.iOffsetY, 40);
  EXPECT_EQ(At(400, 300), Coded(400 - x0 - 20, 300 - y0 - 40));
}

TEST_F(HiDpiTest, ADraggedPictureFollowsThePointerExactly) {
  OpenCoded(2000, 1500);
  window->OriginalSize();
  const int x0 = (Device(800) - 2000) / 2;
  const int y0 = (Device(600) - 1500) / 2;
  // The image pixel under the pointer when the button goes down ...
  const QPointF press(300, 250);
  const QPoint pressDevice = (press * ratio).toPoint();
  const QRgb grabbed = Coded(pressDevice.x() - x0, pressDevice.y() - y0);
  Press(press);
  // ... is under it wherever it moves, to the device pixel, also between
  // logical pixels.
  for (QPointF to : {QPointF(350, 230), QPointF(351.5, 230.5), QPointF(180.25, 400.75)}) {
    Drag(to);
    const QPoint d = (to * ratio).toPoint();
    EXPECT_EQ(state.View.iOffsetX, d.x() - pressDevice.x());
    EXPECT_EQ(state.View.iOffsetY, d.y() - pressDevice.y());
    EXPECT_EQ(At(d.x(), d.y()), grabbed) << to.x() << "," << to.y();
  }
}

TEST_F(HiDpiTest, APictureThatFitsInDevicePixelsCannotBeDragged) {
  // Wider than the logical client area, narrower than the device one.
  const int width = qMin(Device(800) - 2, 1100);
  if (width <= 800) GTEST_SKIP() << "needs a ratio above 1";
  OpenCoded(static_cast<unsigned>(width), 100);
  window->OriginalSize();
  Press(QPointF(300, 300));
  Drag(QPointF(350, 280));
  EXPECT_EQ(state.View.iOffsetX, 0);
  EXPECT_EQ(state.View.iOffsetY, 0);
}

TEST_F(HiDpiTest, ThePanelKeepsItsLogicalLayout) {
  OpenCoded(40, 30);
  window->resize(1200, 700);
  window->SetControlsPosOnPanel();
  EXPECT_EQ(window->Bevel()->width(), 621);
  EXPECT_EQ(window->PanelButton("btnFullscreen")->pos(), QPoint(299, 700 - 49 + 13));
  EXPECT_EQ(window->PanelButton("btnNext")->size(), QSize(55, 40));
}

// The bounding box of the frame's pixels of one colour.
QRect ColourBox(const QImage& frame, QColor colour) {
  QRect box;
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x)
      if (frame.pixel(x, y) == colour.rgb()) box |= QRect(x, y, 1, 1);
  return box;
}

TEST_F(HiDpiTest, OverlayTextsKeepTheirLogicalSizeAtDeviceResolution) {
  OpenCoded(40, 30);
  window->HideControlsOnPanel();
  const QString text = QStringLiteral("Sort direction: Ascending");
  window->FlashMessage(text, 900);
  window->FormPaint();
  // The message box: the text's cell at 10 points and 120 pixels per inch,
  // in logical pixels, one lower for the silver edge.
  QFont font(window->font().family(), OverlayTextSize);
  QImage probe(1, 1, QImage::Format_RGB32);
  probe.setDotsPerMeterX(qRound(120 / 0.0254));
  probe.setDotsPerMeterY(qRound(120 / 0.0254));
  const QFontMetrics metrics(font, &probe);
  const QSize cell(metrics.horizontalAdvance(text), metrics.height());
  const QRect box = ColourBox(window->Frame(), MessageBackground);
  ASSERT_FALSE(box.isEmpty());
  EXPECT_NEAR(box.width(), cell.width() * ratio, 2 + 0.02 * cell.width() * ratio);
  EXPECT_NEAR(box.height(), cell.height() * ratio, 2);
  EXPECT_NEAR(box.top(), ((600 - cell.height()) / 2 + 1) * ratio, 1);

  // Drawn at device resolution: at ratio 2 a logical text scaled up would
  // show only uniform 2 x 2 blocks; real device-pixel glyphs do not.
  if (ratio != 2.0) return;
  int blocks = 0, mixed = 0;
  const QImage& f = window->Frame();
  for (int y = box.top() & ~1; y + 1 <= box.bottom(); y += 2)
    for (int x = box.left() & ~1; x + 1 <= box.right(); x += 2) {
      const QRgb p = f.pixel(x, y);
      const bool uniform = f.pixel(x + 1, y) == p && f.pixel(x, y + 1) == p && f.pixel(x + 1, y + 1) == p;
      const bool ink = !(uniform && p == MessageBackground.rgb());
      if (!ink) continue;
      ++blocks;
      if (!uniform) ++mixed;
    }
  ASSERT_GT(blocks, 50);
  EXPECT_GT(mixed, blocks / 3) << mixed << " of " << blocks;
}

}  // namespace
