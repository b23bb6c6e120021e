// The metadata lines of the information overlay, read from real images.
#include "viewer/metadata_lines.h"

#include "platform/free_bitmap.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <QByteArray>

namespace {

// Adds an ASCII tag (the bytes as given, plus the terminating zero).
void AddTextTag(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, const char* key, const QByteArray& value) {
  FITAG* tag = FreeImage_CreateTag();
  FreeImage_SetTagKey(tag, key);
  FreeImage_SetTagType(tag, FIDT_ASCII);
  const DWORD size = static_cast<DWORD>(value.size() + 1);
  FreeImage_SetTagCount(tag, size);
  FreeImage_SetTagLength(tag, size);
  FreeImage_SetTagValue(tag, value.constData());
  FreeImage_SetMetadata(model, dib, key, tag);
  FreeImage_DeleteTag(tag);
}

class MetadataLinesTest : public ::testing::Test {
protected:
  void TearDown() override { TFreeBitmap{dib}.Clear(); }
  FIBITMAP* dib = nullptr;
};

TEST_F(MetadataLinesTest, SamplePhotoListsItsCameraTagsPerModel) {
  dib = FreeImage_Load(FIF_JPEG, SAMPLE_IMAGE, 0);
  ASSERT_NE(dib, nullptr);
  QStringList lines;
  CollectMetadataLines(dib, FIMD_EXIF_MAIN, lines);
  EXPECT_TRUE(lines.contains("Make: Velvane ")) << lines.join('|').toStdString();
  EXPECT_TRUE(lines.contains("Model: Skyline S1 "));
  EXPECT_EQ(lines.size(), static_cast<qsizetype>(FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, dib)));

  CollectMetadataLines(dib, FIMD_EXIF_EXIF, lines);  // replaces, does not append
  EXPECT_FALSE(lines.contains("Make: Velvane "));
  EXPECT_TRUE(lines.contains("ISOSpeedRatings: 100 ")) << lines.join('|').toStdString();
  EXPECT_TRUE(lines.contains("ExposureTime: 1/640 s "));
  EXPECT_TRUE(lines.contains("FNumber: f/8.0 "));
}

TEST_F(MetadataLinesTest, AllModelsInOrderWithoutTheRawExifBlock) {
  dib = FreeImage_Load(FIF_JPEG, SAMPLE_IMAGE, 0);
  ASSERT_NE(dib, nullptr);
  ASSERT_GT(FreeImage_GetMetadataCount(FIMD_EXIF_RAW, dib), 0u) << "the sample should carry its raw EXIF block";
  const QStringList all = CollectAllMetadataLines(dib);
  EXPECT_EQ(all.size(), static_cast<qsizetype>(FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, dib) +
                                               FreeImage_GetMetadataCount(FIMD_EXIF_EXIF, dib)));
  // Main IFD tags come before those of the EXIF IFD.
  EXPECT_LT(all.indexOf("Make: Velvane "), all.indexOf("ISOSpeedRatings: 100 "));
  for (const QString& line : all) {
    EXPECT_FALSE(line.startsWith("ExifRaw")) << line.toStdString();
    EXPECT_TRUE(line.endsWith(' ')) << line.toStdString();
  }
}

TEST_F(MetadataLinesTest, KeysNamingRawBlocksOrXmlAreSkippedInAnyCase) {
  dib = testimg::Solid24(4, 4, 0x808080);
  AddTextTag(dib, FIMD_COMMENTS, "Comment", "kept");
  AddTextTag(dib, FIMD_COMMENTS, "MyExifRawCopy", "dropped");
  AddTextTag(dib, FIMD_COMMENTS, "someXmlNote", "dropped");
  AddTextTag(dib, FIMD_XMP, "XMLPacket", "<x:xmpmeta/>");
  QStringList lines;
  CollectMetadataLines(dib, FIMD_COMMENTS, lines);
  EXPECT_EQ(lines, QStringList{"Comment: kept "});
  CollectMetadataLines(dib, FIMD_XMP, lines);
  EXPECT_TRUE(lines.isEmpty());
}

TEST_F(MetadataLinesTest, NoImageOrNoTagsGivesAnEmptyList) {
  QStringList lines{"left over"};
  CollectMetadataLines(nullptr, FIMD_EXIF_MAIN, lines);
  EXPECT_TRUE(lines.isEmpty());
  lines = QStringList{"left over"};
  dib = testimg::Solid24(4, 4, 0x808080);
  CollectMetadataLines(dib, FIMD_EXIF_MAIN, lines);
  EXPECT_TRUE(lines.isEmpty());
  EXPECT_TRUE(CollectAllMetadataLines(nullptr).isEmpty());
}

TEST_F(MetadataLinesTest, TagTextKeepsUtf8AndLatin1Characters) {
  dib = testimg::Solid24(4, 4, 0x808080);
  AddTextTag(dib, FIMD_COMMENTS, "A", QByteArray("Caf\xc3\xa9"));  // UTF-8
  AddTextTag(dib, FIMD_COMMENTS, "B", QByteArray("Caf\xe9"));      // Latin-1
  QStringList lines;
  CollectMetadataLines(dib, FIMD_COMMENTS, lines);
  lines.sort();
  EXPECT_EQ(lines, (QStringList{QString::fromUtf8("A: Caf\u00e9 "), QString::fromUtf8("B: Caf\u00e9 ")}));
}

}  // namespace
