// Positions, texts and colours of the overlays, worked out without a painter.
#include "viewer/overlay_layout.h"

#include "viewer/metadata_lines.h"

#include "overlay_fixture.h"
#include "platform/free_bitmap.h"
#include "support/images.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

// A stand-in measure: 7 pixels a character (9 in bold), 13 high.
QSize FakeMeasure(const QString& text, bool bold) { return QSize(static_cast<int>(text.size()) * (bold ? 9 : 7), 13); }

std::vector<TOverlayText> OfLayer(const TOverlayLayout& layout, TOverlayLayer layer) {
  std::vector<TOverlayText> result;
  for (const TOverlayText& t : layout.texts)
    if (t.layer == layer) result.push_back(t);
  return result;
}

// The sample photo's own line for a tag, e.g. "ISOSpeedRatings: 100 ".
QString SampleLine(const QString& key) {
  FIBITMAP* dib = FreeImage_Load(FIF_JPEG, SAMPLE_IMAGE, 0);
  const QStringList lines = CollectAllMetadataLines(dib);
  TFreeBitmap{dib}.Clear();
  for (const QString& line : lines)
    if (line.startsWith(key + ": ")) return line;
  return QString();
}

TEST(OverlayLayoutTest, KeywordColoursOfRealCameraLines) {
  const QString iso = SampleLine("ISOSpeedRatings");
  const QString exposure = SampleLine("ExposureTime");
  const QString fnumber = SampleLine("FNumber");
  ASSERT_FALSE(iso.isEmpty());
  ASSERT_FALSE(exposure.isEmpty());
  ASSERT_FALSE(fnumber.isEmpty());
  EXPECT_EQ(MetadataLineColor(iso), QColor(119, 187, 102));  // "iso", then "speed" wins
  EXPECT_EQ(MetadataLineColor(exposure), QColor(48, 144, 255));
  EXPECT_EQ(MetadataLineColor(fnumber), QColor(192, 192, 192));
}

TEST(OverlayLayoutTest, KeywordColoursIgnoreCaseAndTheLastTableRowWins) {
  EXPECT_EQ(MetadataLineColor("ISO: 200 "), QColor(255, 119, 0));
  EXPECT_EQ(MetadataLineColor("FOCUSMODE: AF-S "), QColor(119, 255, 0));
  EXPECT_EQ(MetadataLineColor("ApertureValue: F2.8 "), QColor(17, 187, 136));
  EXPECT_EQ(MetadataLineColor("WhiteBalance: Auto "), QColor(204, 128, 204));
  // "exposure" comes after "shutter" and "aperture" in the table.
  EXPECT_EQ(MetadataLineColor("ExposureMode: aperture priority "), QColor(48, 144, 255));
  EXPECT_EQ(MetadataLineColor("DigitalZoomRatio with exposure "), QColor(32, 255, 32));
  EXPECT_EQ(MetadataLineColor("ImageStabilization: zoom lens "), QColor(144, 115, 51));
}

TEST(OverlayLayoutTest, MetadataColumnsOfAnOrdinaryWindow) {
  TMetadataColumns columns(800, 49);  // lines may start down to row 511
  EXPECT_EQ(columns.Next(), QPoint(16, 26));
  EXPECT_EQ(columns.Next(), QPoint(16, 42));
  QPoint at;
  for (int i = 2; i < 32; ++i) at = columns.Next();
  EXPECT_EQ(at, QPoint(16, 522));              // started at row 506, still above 511
  EXPECT_EQ(columns.Next(), QPoint(316, 26));  // row 522 is past it
  EXPECT_EQ(columns.Next(), QPoint(316, 42));
}

TEST(OverlayLayoutTest, VeryLowWindowStartsAColumnForEveryLine) {
  TMetadataColumns low(200, 49);
  EXPECT_EQ(low.Next(), QPoint(316, 26));
  EXPECT_EQ(low.Next(), QPoint(616, 26));
  EXPECT_EQ(low.Next(), QPoint(916, 26));
  // The limit itself is not past: exactly row 10 keeps the first line.
  TMetadataColumns edge(299, 49);
  EXPECT_EQ(edge.Next(), QPoint(16, 26));
  EXPECT_EQ(edge.Next(), QPoint(316, 26));
}

TEST(OverlayLayoutTest, DisplayExtensionOfFileNames) {
  EXPECT_EQ(DisplayExtension("/pics/photo.tiff"), "TIFF");
  EXPECT_EQ(DisplayExtension("/pics/photo.JPG"), "JPG");
  EXPECT_EQ(DisplayExtension("/pics/archive.tar.gz"), "GZ");
  EXPECT_EQ(DisplayExtension("/pics/README"), "");
  EXPECT_EQ(DisplayExtension("/my.pics/README"), "");  // a folder's dot does not count
  EXPECT_EQ(DisplayExtension("/pics/photo."), ".");
  EXPECT_EQ(DisplayExtension("/pics/.png"), "PNG");
  EXPECT_EQ(DisplayExtension(""), "");
}

TEST(OverlayLayoutTest, FileFactRowsAndColours) {
  const auto facts = FileFactTexts(1800, 1200, 24, 1536, "/pics/photo.tiff", 600, 49);
  ASSERT_EQ(facts.size(), 4u);
  const int rows[] = {431, 451, 471, 491};
  const QColor colours[] = {QColor(208, 224, 64), QColor(203, 224, 0), QColor(79, 139, 117), QColor(48, 162, 123)};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(facts[i].X, 20);
    EXPECT_EQ(facts[i].Y, rows[i]);
    EXPECT_EQ(facts[i].color, QColor(0, 0, 0));
    EXPECT_EQ(facts[i].textcolor, colours[i]);
    EXPECT_EQ(facts[i].layer, TOverlayLayer::FileFact);
  }
}

TEST(OverlayLayoutTest, SizeRowTruncatesAndHoldsLargeAndMissingSizes) {
  auto sizeText = [](qint64 size) { return FileFactTexts(1, 1, 8, size, "/a.png", 600, 49)[1].str; };
  EXPECT_EQ(sizeText(1023), " Size: 0 KB (1023 bytes) ");
  EXPECT_EQ(sizeText(-1), " Size: 0 KB (-1 bytes) ");
  EXPECT_EQ(sizeText(5LL << 30), " Size: 5242880 KB (5368709120 bytes) ");
}

// An odd width, so that centring shows its truncation.
class OverlayInputTest : public TOverlayFixture {
protected:
  void SetUp() override {
    TOverlayFixture::SetUp();
    in.clientWidth = 801;
  }
};

TEST_F(OverlayInputTest, FileFactsOfARealFile) {
  in.bShowFileInfo = true;
  in.working = testimg::Solid24(40, 30, 0x336699);
  in.sCurrentFile = folder.Write("photo.tiff", QByteArray(1536, 'x'));
  const auto facts = OfLayer(LayoutOverlays(in, FakeMeasure), TOverlayLayer::FileFact);
  ASSERT_EQ(facts.size(), 4u);
  EXPECT_EQ(facts[0].str, " Resolution: 40 x 30 px   24 bit");
  EXPECT_EQ(facts[1].str, " Size: 1 KB (1536 bytes) ");
  EXPECT_EQ(facts[2].str, " Format: TIFF ");
  EXPECT_EQ(facts[3].str, " File Name: " + in.sCurrentFile + " ");
}

TEST_F(OverlayInputTest, EmptyImageAndMissingFile) {
  in.bShowFileInfo = true;
  in.sCurrentFile = folder.File("gone.JPG");
  const TOverlayLayout layout = LayoutOverlays(in, FakeMeasure);
  EXPECT_TRUE(OfLayer(layout, TOverlayLayer::Metadata).empty());
  const auto facts = OfLayer(layout, TOverlayLayer::FileFact);
  ASSERT_EQ(facts.size(), 4u);
  EXPECT_EQ(facts[0].str, " Resolution: 0 x 0 px   0 bit");
  EXPECT_EQ(facts[1].str, " Size: 0 KB (-1 bytes) ");
  EXPECT_EQ(facts[2].str, " Format: JPG ");
}

TEST_F(OverlayInputTest, SampleMetadataComesFirstInColumnsThenTheFacts) {
  in.bShowFileInfo = true;
  in.working = FreeImage_Load(FIF_JPEG, SAMPLE_IMAGE, 0);
  in.sCurrentFile = SAMPLE_IMAGE;
  const TOverlayLayout layout = LayoutOverlays(in, FakeMeasure);
  const auto lines = OfLayer(layout, TOverlayLayer::Metadata);
  ASSERT_EQ(lines.size(), static_cast<size_t>(CollectAllMetadataLines(in.working).size()));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0].str, "Make: Velvane ");
  EXPECT_EQ(QPoint(lines[0].X, lines[0].Y), QPoint(16, 26));
  EXPECT_EQ(QPoint(lines[1].X, lines[1].Y), QPoint(16, 42));
  for (const TOverlayText& line : lines) {
    EXPECT_EQ(line.color, QColor(0, 0, 0));
    EXPECT_EQ(line.textcolor, MetadataLineColor(line.str));
  }
  EXPECT_EQ(layout.texts.size(), lines.size() + 4);
  EXPECT_EQ(layout.texts.back().layer, TOverlayLayer::FileFact);
}

TEST_F(OverlayInputTest, InformationOverlayOffDrawsNoFacts) {
  in.working = FreeImage_Load(FIF_JPEG, SAMPLE_IMAGE, 0);
  in.sCurrentFile = SAMPLE_IMAGE;
  const TOverlayLayout layout = LayoutOverlays(in, FakeMeasure);
  EXPECT_TRUE(layout.texts.empty());
  EXPECT_FALSE(layout.hint.has_value());
}

TEST_F(OverlayInputTest, FileNameCentredAtTheTop) {
  in.bAlwaysShowFilename = true;
  in.sCurrentFile = "/my.pics/photo.JPG";  // 9 characters, 63 pixels
  auto names = OfLayer(LayoutOverlays(in, FakeMeasure), TOverlayLayer::FileName);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].str, "photo.JPG");
  EXPECT_EQ(QPoint(names[0].X, names[0].Y), QPoint(370, 5));  // (801 - 63) / 2 + 1
  EXPECT_EQ(names[0].color, QColor(112, 134, 86));
  EXPECT_EQ(names[0].textcolor, QColor(240, 242, 251));

  in.clientWidth = 50;  // narrower than the name: -13 / 2 truncates to -6
  names = OfLayer(LayoutOverlays(in, FakeMeasure), TOverlayLayer::FileName);
  EXPECT_EQ(names[0].X, -5);
}

TEST_F(OverlayInputTest, MessageShowsOnlyWhileItsCountLasts) {
  in.sMessage = "Saved";  // 35 x 13
  in.TmrMessage = 9;
  auto messages = OfLayer(LayoutOverlays(in, FakeMeasure), TOverlayLayer::Message);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(QPoint(messages[0].X, messages[0].Y), QPoint(383, 293));
  EXPECT_EQ(messages[0].color, QColor(144, 86, 86));
  EXPECT_EQ(messages[0].textcolor, QColor(240, 242, 251));

  in.TmrMessage = 0;
  EXPECT_TRUE(LayoutOverlays(in, FakeMeasure).texts.empty());
  in.TmrMessage = 5;
  in.sMessage.clear();
  EXPECT_TRUE(LayoutOverlays(in, FakeMeasure).texts.empty());
}

// Why a file shows no picture stays in the centre in the message's style; a
// message flashed meanwhile takes the centre and pushes it up a line.
TEST_F(OverlayInputTest, TheReasonAFileShowsNoPictureStaysCentredAboveAnyMessage) {
  in.sLoadProblem = "Cannot open a.jpg: the file is damaged";  // 38 x 13
  auto problems = OfLayer(LayoutOverlays(in, FakeMeasure), TOverlayLayer::LoadProblem);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(QPoint(problems[0].X, problems[0].Y), QPoint(267, 293));  // (801 - 266) / 2
  EXPECT_EQ(problems[0].color, QColor(144, 86, 86));
  EXPECT_EQ(problems[0].textcolor, QColor(240, 242, 251));

  in.sMessage = "Saved";
  in.TmrMessage = 9;
  const TOverlayLayout both = LayoutOverlays(in, FakeMeasure);
  problems = OfLayer(both, TOverlayLayer::LoadProblem);
  const auto messages = OfLayer(both, TOverlayLayer::Message);
  ASSERT_EQ(problems.size(), 1u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Y, 293);
  EXPECT_EQ(problems[0].Y, 293 - 13 - 8);
}

TEST_F(OverlayInputTest, HintLineIsMeasuredBoldAboveThePanel) {
  in.hint = "Next image";  // 10 bold characters: 90 pixels
  const TOverlayLayout layout = LayoutOverlays(in, FakeMeasure);
  ASSERT_TRUE(layout.hint.has_value());
  EXPECT_EQ(layout.hint->str, "Next image");
  EXPECT_EQ(layout.hint->X, 355);  // (801 - 90) / 2
  EXPECT_EQ(layout.hint->Y, 531);  // 600 - 49 - 20
}

TEST_F(OverlayInputTest, LayersComeInDrawingOrder) {
  in.bShowFileInfo = true;
  in.bAlwaysShowFilename = true;
  in.sCurrentFile = folder.Write("a.png", "x");
  in.sMessage = "Sort by name";
  in.TmrMessage = 9;
  const TOverlayLayout layout = LayoutOverlays(in, FakeMeasure);
  ASSERT_EQ(layout.texts.size(), 6u);
  EXPECT_EQ(layout.texts[3].layer, TOverlayLayer::FileFact);
  EXPECT_EQ(layout.texts[4].layer, TOverlayLayer::FileName);
  EXPECT_EQ(layout.texts[5].layer, TOverlayLayer::Message);
}

}  // namespace
