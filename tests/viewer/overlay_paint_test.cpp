// The overlays as they appear in a rendered frame.
#include "viewer/overlay_painter.h"

#include "overlay_fixture.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr QRgb Backdrop = 0xFF0000FFu;  // stands for the picture under the overlays
constexpr QRgb Silver = 0xFFC0C0C0u;

QFont WindowFont() { return QFont(QStringLiteral("DejaVu Sans"), 8); }

QImage Frame(int w, int h) {
  QImage frame(w, h, QImage::Format_RGB32);
  frame.fill(Backdrop);
  return frame;
}

QImage Render(const TOverlayInput& in) {
  QImage frame = Frame(in.clientWidth, in.clientHeight);
  QPainter painter(&frame);
  PaintOverlays(painter, WindowFont(), in);
  return frame;
}

// The overlay font's cell of str on a frame like the rendered ones.
QSize Cell(const QString& str, bool bold = false) {
  QImage probe = Frame(1, 1);
  const QFontMetrics m(OverlayFont(WindowFont(), OverlayTextSize, bold), &probe);
  return QSize(m.horizontalAdvance(str), m.height());
}

int CountColour(const QImage& f, QRect area, QRgb colour) {
  area &= f.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += f.pixel(x, y) == colour;
  return n;
}

// Pixels of exactly glyph colour with exactly silver right under them.
int SilverEdges(const QImage& f, QRect area, QRgb glyph) {
  area &= f.rect().adjusted(0, 0, 0, -1);
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += f.pixel(x, y) == glyph && f.pixel(x, y + 1) == Silver;
  return n;
}

TEST(OverlayPaintTest, WriteTextBoxCoversTheCellOnePixelLower) {
  QImage frame = Frame(300, 60);
  const QString str = QStringLiteral(" Format: TIFF ");
  {
    QPainter painter(&frame);
    painter.setFont(WindowFont());
    WriteText(painter, 20, 10, str, 10, QColor(0, 0, 0), QColor(79, 139, 117));
  }
  const QSize cell = Cell(str);
  ASSERT_GT(cell.width(), 0);
  const QRect box(20, 11, cell.width(), cell.height());
  // The corners of the box (the leading and trailing spaces carry no glyph).
  EXPECT_EQ(frame.pixel(box.topLeft()), 0xFF000000u);
  EXPECT_EQ(frame.pixel(box.bottomLeft()), 0xFF000000u);
  EXPECT_EQ(frame.pixel(box.bottomRight()), 0xFF000000u);
  // Nothing outside it but glyph pixels on the row above.
  EXPECT_EQ(frame.pixel(box.left() - 1, box.bottom()), Backdrop);
  EXPECT_EQ(frame.pixel(box.right() + 1, box.bottom()), Backdrop);
  EXPECT_EQ(frame.pixel(box.left(), box.bottom() + 1), Backdrop);
  EXPECT_EQ(frame.pixel(box.left(), box.top() - 1), Backdrop);
  EXPECT_GT(CountColour(frame, box, 0xFF4F8B75u), 0) << "glyphs in the text colour";
  EXPECT_GT(SilverEdges(frame, box, 0xFF4F8B75u), 0) << "silver edge under the glyphs";
}

TEST(OverlayPaintTest, WriteTextDrawsAtTheGivenPointSize) {
  QImage small = Frame(400, 80), large = Frame(400, 80);
  const QString str = QStringLiteral("Sort by name");
  for (auto [frame, size] : {std::pair{&small, 10}, std::pair{&large, 20}}) {
    QPainter painter(frame);
    painter.setFont(WindowFont());
    WriteText(painter, 0, 0, str, size, QColor(144, 86, 86), QColor(240, 242, 251));
  }
  const int smallBox = CountColour(small, small.rect(), 0xFF905656u);
  const int largeBox = CountColour(large, large.rect(), 0xFF905656u);
  EXPECT_GT(smallBox, 0);
  EXPECT_GT(largeBox, 3 * smallBox);
}

using OverlayFrameTest = TOverlayFixture;

TEST_F(OverlayFrameTest, NothingToShowLeavesThePictureAlone) {
  in.working = FreeImage_Load(FIF_JPEG, SAMPLE_IMAGE, 0);
  in.sCurrentFile = SAMPLE_IMAGE;
  in.sMessage = "Saved";  // its count ran out
  EXPECT_EQ(Render(in), Frame(800, 600));
}

TEST_F(OverlayFrameTest, CameraLinesInTheirKeywordColours) {
  in.bShowFileInfo = true;
  in.working = FreeImage_Load(FIF_JPEG, SAMPLE_IMAGE, 0);
  ASSERT_NE(in.working, nullptr);
  in.sCurrentFile = SAMPLE_IMAGE;
  const QImage frame = Render(in);
  const TOverlayLayout layout = LayoutOverlays(in, [](const QString& s, bool b) { return Cell(s, b); });
  int checked = 0;
  for (const TOverlayText& t : layout.texts) {
    if (t.layer != TOverlayLayer::Metadata) continue;
    const QRect line(t.X, t.Y, Cell(t.str).width(), Cell(t.str).height() + 1);
    const QRgb colour = t.textcolor.rgb();
    if (t.str.startsWith("ISOSpeedRatings") || t.str.startsWith("ExposureTime") || t.str.startsWith("FNumber")) {
      EXPECT_GT(CountColour(frame, line, colour), 0) << t.str.toStdString();
      EXPECT_GT(SilverEdges(frame, line, colour), 0) << t.str.toStdString();
      ++checked;
    }
    // The black box reaches the last pixel of the cell, no further.
    EXPECT_EQ(frame.pixel(line.right(), line.bottom()), 0xFF000000u) << t.str.toStdString();
    EXPECT_EQ(frame.pixel(line.right() + 1, line.bottom()), Backdrop) << t.str.toStdString();
  }
  EXPECT_EQ(checked, 3);
  // The ISO line is drawn in the "speed" colour, never in the "iso" one.
  EXPECT_GT(CountColour(frame, frame.rect(), qRgb(119, 187, 102)), 0);
  EXPECT_EQ(CountColour(frame, frame.rect(), qRgb(255, 119, 0)), 0);
}

TEST_F(OverlayFrameTest, LongValuesStayInTheirColumnAndPaddedOnesDrawNoBar) {
  in.bShowFileInfo = true;
  in.working = FreeImage_Allocate(4, 4, 24);
  const auto addText = [this](const char* key, const QByteArray& value) {
    FITAG* tag = FreeImage_CreateTag();
    FreeImage_SetTagKey(tag, key);
    FreeImage_SetTagType(tag, FIDT_ASCII);
    FreeImage_SetTagCount(tag, DWORD(value.size() + 1));
    FreeImage_SetTagLength(tag, DWORD(value.size() + 1));
    FreeImage_SetTagValue(tag, value.constData());
    FreeImage_SetMetadata(FIMD_COMMENTS, in.working, key, tag);
    FreeImage_DeleteTag(tag);
  };
  addText("Long", QByteArray("a value far too long for one column ").repeated(6));
  addText("Padded", QByteArray(200, ' '));
  const TOverlayLayout layout = LayoutOverlays(in, [](const QString& s, bool b) { return Cell(s, b); });
  ASSERT_GE(layout.texts.size(), 2u);
  const QImage frame = Render(in);
  for (const TOverlayText& t : layout.texts) {
    if (t.layer != TOverlayLayer::Metadata) continue;
    // The box's lowest row, one pixel down: black wherever no glyph is, and
    // nothing else on this frame is black.
    const int row = t.Y + Cell(t.str).height();
    int right = frame.width() - 1;
    while (right > t.X && frame.pixel(right, row) != 0xFF000000u) --right;
    const int boxWidth = right + 1 - t.X;
    if (t.str.startsWith("Long")) {
      EXPECT_GT(boxWidth, MetadataLineWidth / 2) << "drawn at all";
      EXPECT_LE(boxWidth, MetadataLineWidth) << "the next column starts at " << t.X + 300;
    } else {
      EXPECT_EQ(t.str, "Padded:  ");
      EXPECT_LE(boxWidth, Cell(t.str).width());
    }
  }
}

TEST_F(OverlayFrameTest, FileFactsAboveThePanel) {
  in.bShowFileInfo = true;
  in.sCurrentFile = folder.Write("photo.tiff", QByteArray(1536, 'x'));
  const QImage frame = Render(in);
  const QString resolution = QStringLiteral(" Resolution: 0 x 0 px   0 bit");
  const QRect box(20, 600 - 49 - 120 + 1, Cell(resolution).width(), Cell(resolution).height());
  EXPECT_EQ(frame.pixel(box.topLeft()), 0xFF000000u);
  EXPECT_EQ(frame.pixel(box.left() - 1, box.top()), Backdrop);
  EXPECT_GT(SilverEdges(frame, box.adjusted(0, -1, 0, 0), qRgb(208, 224, 64)), 0);
  const QRect nameRow(20, 600 - 49 - 60, 780, Cell("X").height() + 1);
  EXPECT_GT(CountColour(frame, nameRow, qRgb(48, 162, 123)), 0);
  // No picture, no metadata: the area of the first metadata line is untouched.
  EXPECT_EQ(CountColour(frame, QRect(0, 0, 800, 400), Backdrop), 800 * 400);
}

TEST_F(OverlayFrameTest, FileNameMessageAndHintWhereTheLayoutPutsThem) {
  in.bAlwaysShowFilename = true;
  in.sCurrentFile = "/pics/photo.JPG";
  in.sMessage = "Set as wallpaper";
  in.TmrMessage = 9;
  in.hint = "Next image";
  const QImage frame = Render(in);

  const QSize name = Cell("photo.JPG");
  const QRect nameBox((800 - name.width()) / 2 + 1, 6, name.width(), name.height());
  EXPECT_EQ(frame.pixel(nameBox.topLeft()), qRgb(112, 134, 86));
  EXPECT_EQ(frame.pixel(nameBox.bottomRight()), qRgb(112, 134, 86));
  EXPECT_EQ(frame.pixel(nameBox.right() + 1, nameBox.bottom()), Backdrop);
  EXPECT_GT(CountColour(frame, nameBox.adjusted(0, -1, 0, 0), qRgb(240, 242, 251)), 0);

  const QSize message = Cell("Set as wallpaper");
  const QRect messageBox((800 - message.width()) / 2, (600 - message.height()) / 2 + 1, message.width(),
                         message.height());
  EXPECT_EQ(frame.pixel(messageBox.topRight()), qRgb(144, 86, 86));
  // Left of, right of and below the box the picture shows.
  const QRect around = messageBox.adjusted(-1, 0, 1, 1);
  EXPECT_EQ(CountColour(frame, QRect(around.left(), around.top(), 1, around.height()), Backdrop), around.height());
  EXPECT_EQ(CountColour(frame, QRect(around.right(), around.top(), 1, around.height()), Backdrop), around.height());
  EXPECT_EQ(CountColour(frame, QRect(around.left(), around.bottom(), around.width(), 1), Backdrop), around.width());
  EXPECT_EQ(frame.pixel(messageBox.bottomLeft()), qRgb(144, 86, 86));

  const QSize hint = Cell("Next image", true);
  const QRect hintCell((800 - hint.width()) / 2, 600 - 49 - 20, hint.width() + 1, hint.height() + 1);
  EXPECT_GT(CountColour(frame, hintCell, qRgb(255, 255, 255)), 0);
  EXPECT_GT(CountColour(frame, hintCell, Silver), 0);
  // Its box covers the cell and the silver shadow one pixel beyond, no more.
  EXPECT_EQ(frame.pixel(hintCell.topLeft()), qRgb(0, 0, 0));
  EXPECT_EQ(frame.pixel(hintCell.bottomRight()), qRgb(0, 0, 0));
  EXPECT_EQ(frame.pixel(hintCell.left() - 1, hintCell.top()), Backdrop);
  EXPECT_EQ(frame.pixel(hintCell.right() + 1, hintCell.bottom()), Backdrop);
  EXPECT_EQ(frame.pixel(hintCell.left(), hintCell.bottom() + 1), Backdrop);
  EXPECT_EQ(CountColour(frame, hintCell, qRgb(255, 255, 255)), CountColour(frame, frame.rect(), qRgb(255, 255, 255)));
}

// On a white picture a white hint without a box could not be read.
TEST_F(OverlayFrameTest, TheHintCanBeReadOnALightPicture) {
  in.hint = "Delete  (Hotkey: Del)";
  QImage frame(in.clientWidth, in.clientHeight, QImage::Format_RGB32);
  frame.fill(Qt::white);
  {
    QPainter painter(&frame);
    PaintOverlays(painter, WindowFont(), in);
  }
  const QSize hint = Cell(in.hint, true);
  const QRect cell((800 - hint.width()) / 2, 600 - 49 - 20, hint.width() + 1, hint.height() + 1);
  const int black = CountColour(frame, cell, qRgb(0, 0, 0));
  const int white = CountColour(frame, cell, qRgb(255, 255, 255));
  EXPECT_GT(black, cell.width() * cell.height() / 2) << "the box is the hint's background";
  EXPECT_GT(white, 20) << "the glyphs stand out white on it";
  // Outside the box the picture is untouched.
  EXPECT_EQ(CountColour(frame, cell.adjusted(-3, -3, 3, 3), qRgb(255, 255, 255)) - white,
            (cell.width() + 6) * (cell.height() + 6) - cell.width() * cell.height());
}

}  // namespace
