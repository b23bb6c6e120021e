// The TIFF block reader and writer: damaged directories and entries, the
// sub-directories, the thumbnail, the maker note and the layout written.
#include "edit/exif/exif_data.h"
#include "edit/exif/tiff_reader.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <jpeglib.h>

namespace {

using TEntry = TTiffBuilder::TEntry;

uint32_t Rational(const TExifTag& tag, int half) {
  uint32_t v;
  std::memcpy(&v, tag.Data.data() + 4 * half, 4);
  return v;
}

std::string AsText(const TExifTag& tag) { return std::string(tag.Data.begin(), tag.Data.end()); }

// IFD0 with Exif and GPS pointers, the Exif directory with an
// interoperability pointer and a maker note.
TBytes CameraBlock(const TTiffBuilder& b, const TBytes& makerNote) {
  TTiffBuilder::TIfd ifd0{{{0x010F, 2, 6, b.Ascii("Canon")},
                           {0x0112, 3, 1, b.Short({6})},
                           {0x011A, 5, 1, Concat({b.Long({72}), b.Long({1})})},
                           {0x8769, 4, 1, b.Long({0})},
                           {0x8825, 4, 1, b.Long({0})}}};
  TTiffBuilder::TIfd exif{{{0x829A, 5, 1, Concat({b.Long({1}), b.Long({250})})},
                           {0x8827, 3, 1, b.Short({400})},
                           {0x927C, 7, uint32_t(makerNote.size()), makerNote},
                           {0xA005, 4, 1, b.Long({0})}}};
  TTiffBuilder::TIfd interop{{{0x0001, 2, 4, b.Ascii("R98")}}};
  TTiffBuilder::TIfd gps{{{0x0001, 2, 2, b.Ascii("N")}, {0x0002, 5, 3, TBytes(24, 1)}}};
  return b.Build({ifd0, exif, interop, gps}, 1, {{0, 3, 1}, {0, 4, 3}, {1, 3, 2}});
}

void ExpectSameTags(const TExifSection& a, const TExifSection& b) {
  ASSERT_EQ(a.Count(), b.Count());
  for (size_t i = 0; i < a.Count(); ++i) {
    const TExifTag &x = a.Tags()[i], &y = b.Tags()[i];
    EXPECT_EQ(x.ID, y.ID);
    EXPECT_EQ(x.DataType, y.DataType) << x.ID;
    EXPECT_EQ(x.ElementCount, y.ElementCount) << x.ID;
    if (x.ID != 0x8769 && x.ID != 0x8825 && x.ID != 0xA005) {
      EXPECT_EQ(x.Data, y.Data) << x.ID;
    }
  }
}

class TiffBlockOrders : public testing::TestWithParam<bool> {};

TEST_P(TiffBlockOrders, ReadsEverySectionAndWritesItBackInTheSameOrder) {
  const TTiffBuilder b(GetParam());
  const TBytes makerNote = Text("Nikon\0\x02\x10\0\0MM\0*\0\0\0\x08");
  TExifData exif;
  exif.LoadFromTiffBlock(CameraBlock(b, makerNote));

  EXPECT_EQ(exif.ByteOrder(), GetParam() ? boBigEndian : boLittleEndian);
  EXPECT_EQ(AsText(*exif.General().Find(0x010F)), std::string("Canon\0", 6));
  EXPECT_EQ(exif.General().Orientation(), toRightTop);
  EXPECT_EQ(Rational(*exif.General().Find(0x011A), 0), 72u);
  EXPECT_EQ(Rational(*exif[esDetails].Find(0x829A), 1), 250u);
  EXPECT_EQ(exif[esDetails].Find(0x8827)->ElementAsUInt(0), 400u);
  EXPECT_EQ(exif[esDetails].Find(0x927C)->Data, makerNote);
  EXPECT_NE(exif[esDetails].Find(0x927C)->OriginalDataOffset, 0u);
  EXPECT_EQ(AsText(*exif[esInterop].Find(0x0001)), std::string("R98\0", 4));
  EXPECT_EQ(exif[esGPS].Count(), 2u);

  const TBytes written = exif.SaveToTiffBlock();
  EXPECT_EQ(written[0], GetParam() ? 'M' : 'I');
  EXPECT_EQ(b.Get32(written, 4), 8u);
  TExifData again;
  again.LoadFromTiffBlock(written);
  for (TExifSectionKind kind : {esGeneral, esDetails, esInterop, esGPS}) ExpectSameTags(exif[kind], again[kind]);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TiffBlockOrders, testing::Values(false, true));

TEST(TiffBlockReader, RejectsOnlyAWrongHeader) {
  EXPECT_THROW(ReadExifBlock(Text("XX*\0\x08\0\0\0")), EInvalidTiffData);
  EXPECT_THROW(ReadExifBlock(Text(std::string("II+\0\x08\0\0\0", 8))), EInvalidTiffData);
  EXPECT_THROW(ReadExifBlock(Text(std::string("II*\0\x08\0", 6))), EInvalidTiffData);
  EXPECT_THROW(ReadExifBlock(TBytes()), EInvalidTiffData);
  // The prefix is skipped, and the magic word decides the byte order.
  EXPECT_EQ(ReadExifBlock(Text(std::string("Exif\0\0II*\0\x08\0\0\0", 14))).Order, boLittleEndian);
  EXPECT_EQ(ReadExifBlock(Text(std::string("II\0*\0\0\0\x08", 8))).Order, boBigEndian);
  // IFD0 past the end or over the header: empty data, no error.
  EXPECT_TRUE(ReadExifBlock(Text(std::string("II*\0\xFF\xFF\0\0", 8))).IsEmpty());
  EXPECT_TRUE(ReadExifBlock(Text(std::string("II*\0\x02\0\0\0", 8))).IsEmpty());
}

TEST(TiffBlockReader, ClampsTheEntryCountToTheEntriesThatFit) {
  const TTiffBuilder b;
  TBytes block = b.Build({{{{0x010F, 2, 2, b.Ascii("A")}, {0x0110, 2, 2, b.Ascii("B")}}}});
  b.Put16(block, 8, 500);
  block.resize(block.size() - 4);  // the next-directory offset is cut off too
  const TExifBlock read = ReadExifBlock(block);
  EXPECT_EQ(read[esGeneral].Count(), 2u);
  EXPECT_TRUE(read[esThumbnail].IsEmpty());
}

TEST(TiffBlockReader, TurnsBadEntriesIntoEmptyTagsAndStopsAtTheSecondInARow) {
  const TTiffBuilder b;
  const std::vector<TEntry> entries = {
      {0x0100, 3, 1, b.Short({10})},        {0x0101, 99, 1, b.Short({1})},  // bad type
      {0x0102, 3, 1, b.Short({8})},                                         // good again
      {0x0103, 2, 100, b.Long({0xFFFF00})},                                 // offset past the end
      {0x0104, 2, 100, b.Long({4})},                                        // offset into the header
      {0x0105, 3, 1, b.Short({5})},                                         // after two bad ones: not read
  };
  TBytes block = b.Build({{entries}});
  // The builder stored the two long values out of line; point them astray.
  b.Put32(block, 8 + 2 + 12 * 3 + 8, 0xFFFF00);
  b.Put32(block, 8 + 2 + 12 * 4 + 8, 4);
  const TExifBlock read = ReadExifBlock(block);
  const TExifSection& ifd0 = read[esGeneral];
  ASSERT_EQ(ifd0.Count(), 4u);
  const TExifTag& badType = *ifd0.Find(0x0101);
  EXPECT_EQ(badType.DataType, tdUndefined);
  EXPECT_EQ(badType.ElementCount, 0u);
  EXPECT_FALSE(badType.WellFormed);
  EXPECT_TRUE(ifd0.Find(0x0102)->WellFormed);
  EXPECT_FALSE(ifd0.Find(0x0103)->WellFormed);
  EXPECT_EQ(ifd0.Find(0x0104), nullptr);
  EXPECT_EQ(ifd0.Find(0x0105), nullptr);
}

TEST(TiffBlockReader, SurvivesDirectoriesThatPointAtEachOther) {
  const TTiffBuilder b;
  TTiffBuilder::TIfd ifd0{{{0x8769, 4, 1, b.Long({0})}, {0x8825, 13, 1, b.Long({0})}}};
  TTiffBuilder::TIfd exif{{{0xA005, 4, 1, b.Long({0})}, {0x8769, 4, 1, b.Long({0})}}};
  // Exif -> itself as interop, IFD0 -> itself as GPS, and IFD0 links to itself.
  TBytes block = b.Build({ifd0, exif}, 1, {{0, 0, 1}, {0, 1, 0}, {1, 0, 1}, {1, 1, 0}});
  b.Put32(block, 8 + 2 + 24, 8);
  TExifData data;
  data.LoadFromTiffBlock(block);
  EXPECT_EQ(data[esDetails].Count(), 2u);
  EXPECT_EQ(data[esInterop].Count(), 2u);
  EXPECT_EQ(data[esGPS].Count(), 2u);
  EXPECT_EQ(data[esThumbnail].Count(), 2u);  // IFD1 is IFD0 again; no further directories are read
  EXPECT_TRUE(data.Thumbnail().empty());
  EXPECT_FALSE(data.SaveToTiffBlock().empty());
}

TEST(TiffBlockReader, RefusesEntriesThatMultiplyOneLargeValue) {
  const TTiffBuilder b;
  std::vector<TEntry> entries;
  for (uint16_t i = 0; i < 2000; ++i) entries.push_back({uint16_t(0x1000 + i), 7, 4, b.Long({0})});
  TBytes block = b.Build({{entries}}, 1, {}, TBytes(30000, 0x55));
  const uint32_t valueOffset = uint32_t(block.size() - 30000);
  for (size_t i = 0; i < entries.size(); ++i) {
    b.Put32(block, 8 + 2 + 12 * i + 4, 30000);
    b.Put32(block, 8 + 2 + 12 * i + 8, valueOffset);
  }
  EXPECT_THROW(ReadExifBlock(block), EInvalidTiffData);
}

TEST(TiffBlockWriter, WritesOnlyTheOrientationForOtherwiseEmptyData) {
  TExifData exif;
  exif.General().SetOrientation(toTopLeft);
  const TBytes expected = {0x49, 0x49, 0x2A, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(exif.SaveToTiffBlock(), expected);
  exif.General().SetOrientation(toUndefined);
  EXPECT_TRUE(exif.SaveToTiffBlock().empty());
}

TEST(TiffBlockWriter, AddsAndRemovesPointerTagsWithTheirDirectories) {
  TExifData exif;
  exif[esInterop].SetTag(TExifTag::MakeShort(0x0002, 1));
  TBytes block = exif.SaveToTiffBlock();
  TExifData read;
  read.LoadFromTiffBlock(block);
  EXPECT_NE(read.General().Find(0x8769), nullptr);
  EXPECT_NE(read[esDetails].Find(0xA005), nullptr);
  EXPECT_EQ(read[esInterop].Count(), 1u);
  EXPECT_EQ(read.General().Find(0x8825), nullptr);

  read[esInterop].Clear();
  read[esGPS].SetTag(TExifTag::MakeShort(0x0005, 0));
  TExifData again;
  again.LoadFromTiffBlock(read.SaveToTiffBlock());
  EXPECT_EQ(again.General().Find(0x8769), nullptr);
  EXPECT_NE(again.General().Find(0x8825), nullptr);
  EXPECT_TRUE(again[esDetails].IsEmpty());
}

TEST(TiffBlockWriter, StoresEveryValueOnAWordBoundary) {
  const TTiffBuilder b;
  TExifData exif;
  exif.LoadFromTiffBlock(CameraBlock(b, TBytes(7, 0x11)));
  exif.General().SetTag(TExifTag::MakeBytes(0x0131, tdAscii, reinterpret_cast<const uint8_t*>("odd\0\0"), 5));
  TExifData read;
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  for (TExifSectionKind kind : {esGeneral, esDetails, esInterop, esGPS})
    for (const TExifTag& tag : read[kind].Tags())
      if (tag.ID != 0x927C) {
        EXPECT_EQ(tag.OriginalDataOffset % 2, 0u) << std::hex << tag.ID;
      }
}

TEST(TiffBlockWriter, RemovesThePaddingTagUnlessAskedNotTo) {
  const TTiffBuilder b;
  TBytes padding(200, 0);
  padding[0] = 0x1C;
  padding[1] = 0xEA;
  const TBytes block = b.Build({{{{0x010F, 2, 2, b.Ascii("X")}, {0xEA1C, 7, 200, padding}}}});
  TExifData exif;
  exif.LoadFromTiffBlock(block);
  TExifData read;
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  EXPECT_EQ(read.General().Find(0xEA1C), nullptr);
  EXPECT_NE(read.General().Find(0x010F), nullptr);

  exif.SetRemovePaddingTagsOnSave(false);
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  EXPECT_NE(read.General().Find(0xEA1C), nullptr);
}

TEST(TiffBlockWriter, KeepsTheMakerNoteAtItsOffset) {
  const TTiffBuilder b;
  TBytes note(64);
  for (size_t i = 0; i < note.size(); ++i) note[i] = uint8_t(i * 7 + 1);
  // The maker note lies right after the directories; IFD0 grows by an
  // orientation tag, so the Exif directory has to move behind the note.
  TTiffBuilder::TIfd ifd0{{{0x8769, 4, 1, b.Long({0})}}};
  TTiffBuilder::TIfd exif{{{0x927C, 7, 64, note}, {0x9286, 7, 300, TBytes(300, 'c')}}};
  const TBytes block = b.Build({ifd0, exif}, 1, {{0, 0, 1}});
  const uint32_t noteOffset = b.Get32(block, 8 + 18 + 2 + 8);

  TExifData data;
  data.LoadFromTiffBlock(block);
  data.General().SetOrientation(toTopLeft);
  const TBytes written = data.SaveToTiffBlock();
  ASSERT_GE(written.size(), noteOffset + note.size());
  EXPECT_TRUE(std::equal(note.begin(), note.end(), written.begin() + noteOffset));
  TExifData read;
  read.LoadFromTiffBlock(written);
  EXPECT_EQ(read[esDetails].Find(0x927C)->OriginalDataOffset, noteOffset);
  EXPECT_EQ(read[esDetails].Find(0x927C)->Data, note);
  EXPECT_GE(PointerValue(read.General().Find(0x8769)), noteOffset + note.size());
  EXPECT_EQ(read[esDetails].Find(0x9286)->Data, TBytes(300, 'c'));
  EXPECT_EQ(read.General().Orientation(), toTopLeft);

  // OffsetSchema says an editor moved the note 40 bytes towards the start:
  // it goes back to where the camera wrote it, and the schema becomes 0.
  int32_t shift = -40;
  TExifTag schema;
  schema.ID = 0xEA1D;
  schema.DataType = tdSLong;
  schema.ElementCount = 1;
  schema.Data.resize(4);
  std::memcpy(schema.Data.data(), &shift, 4);
  data[esDetails].SetTag(schema);
  const TBytes moved = data.SaveToTiffBlock();
  ASSERT_GE(moved.size(), noteOffset + 40 + note.size());
  EXPECT_TRUE(std::equal(note.begin(), note.end(), moved.begin() + noteOffset + 40));
  read.LoadFromTiffBlock(moved);
  EXPECT_EQ(read[esDetails].Find(0x927C)->Data, note);
  EXPECT_EQ(read[esDetails].Find(0xEA1D)->ElementAsUInt(0), 0u);

  // A move no JPEG segment could have held is not believed: the note stays
  // where it is instead of inflating the block by gigabytes.
  shift = INT32_MIN;
  std::memcpy(schema.Data.data(), &shift, 4);
  data[esDetails].SetTag(schema);
  const TBytes kept = data.SaveToTiffBlock();
  EXPECT_EQ(kept.size(), written.size() + 12);  // the one entry more
  EXPECT_TRUE(std::equal(note.begin(), note.end(), kept.begin() + noteOffset));
}

TBytes ThumbnailBlock(const TTiffBuilder& b, const TBytes& jpeg, uint32_t declaredLength) {
  TTiffBuilder::TIfd ifd0{{{0x010F, 2, 2, b.Ascii("A")}}};
  TTiffBuilder::TIfd ifd1{{{0x0103, 3, 1, b.Short({6})},
                           {0x011A, 5, 1, Concat({b.Long({72}), b.Long({1})})},
                           {0x0201, 4, 1, b.Long({0})},
                           {0x0202, 4, 1, b.Long({declaredLength})}}};
  uint32_t offset = 0;
  TBytes block = b.Build({ifd0, ifd1}, 2, {}, jpeg, &offset);
  b.Put32(block, 8 + 18 + 2 + 24 + 8, offset);
  return block;
}

void JpegSize(const TBytes& jpeg, unsigned& width, unsigned& height) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  width = cinfo.image_width;
  height = cinfo.image_height;
  jpeg_destroy_decompress(&cinfo);
}

TEST(TiffBlockThumbnail, IsWrittenLastInIfd1AndCutAfterItsEndMarker) {
  const TTiffBuilder b;
  const TBytes jpeg = EncodeJpeg(64, 48);
  const TBytes withTrailer = Concat({jpeg, Text("garbage")});
  TExifData exif;
  exif.LoadFromTiffBlock(ThumbnailBlock(b, withTrailer, uint32_t(withTrailer.size())));
  ASSERT_EQ(exif.Thumbnail(), withTrailer);

  const TBytes block = exif.SaveToTiffBlock();
  TExifData read;
  read.LoadFromTiffBlock(block);
  EXPECT_EQ(read.Thumbnail(), jpeg);
  EXPECT_EQ(read[esThumbnail].Find(0x0103)->ElementAsUInt(0), 6u);
  EXPECT_EQ(read[esThumbnail].Find(0x011A)->DataType, tdRational);
  EXPECT_EQ(PointerValue(read[esThumbnail].Find(0x0201)) + jpeg.size(), block.size());
}

TEST(TiffBlockThumbnail, IsDroppedWhenItIsNoJpegOrLiesOutside) {
  const TTiffBuilder b;
  TExifData exif;
  exif.LoadFromTiffBlock(ThumbnailBlock(b, Text("not a jpeg at all"), 17));
  EXPECT_TRUE(exif.Thumbnail().empty());
  EXPECT_EQ(exif[esThumbnail].Count(), 4u);
  TExifData read;
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  EXPECT_TRUE(read[esThumbnail].IsEmpty());  // no IFD1 without a thumbnail

  exif.LoadFromTiffBlock(ThumbnailBlock(b, EncodeJpeg(8, 8), 1000000));
  EXPECT_TRUE(exif.Thumbnail().empty());
}

TEST(TiffBlockThumbnail, TooLargeIsReducedToFit160By120) {
  const TTiffBuilder b;
  const TBytes big = EncodeJpeg(640, 400, 100);
  ASSERT_GT(big.size(), 61440u);
  TExifData exif;
  exif.SetByteOrder(boBigEndian);
  exif.SetThumbnail(big);
  TExifData read;
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  ASSERT_FALSE(read.Thumbnail().empty());
  EXPECT_LE(read.Thumbnail().size(), 61440u);
  unsigned width = 0, height = 0;
  JpegSize(read.Thumbnail(), width, height);
  EXPECT_EQ(width, 160u);
  EXPECT_EQ(height, 100u);

  // A damaged oversized thumbnail cannot be reduced and is left out.
  TBytes broken = big;
  std::fill(broken.begin() + 2, broken.begin() + 400, 0x00);
  exif.SetThumbnail(broken);
  exif.General().SetOrientation(toTopLeft);
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  EXPECT_TRUE(read.Thumbnail().empty());
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
}

}  // namespace
