// Photoshop and TIFF files: the metadata resources replaced, the TIFF
// structure rebuilt around unchanged image data.
#include "edit/exif/exif_data.h"
#include "edit/exif/tiff_reader.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <type_traits>

namespace {

TBytes Resource(uint16_t id, const TBytes& data) { return PsdResource(id, data); }

// The header and the empty colour mode section of Psd().
const size_t PsdHeaderSize = 30;

TBytes OrientationBlock(uint16_t orientation) {
  const TTiffBuilder b(true);
  return b.Build({{{{0x010F, 2, 6, b.Ascii("Canon")}, {0x0112, 3, 1, b.Short({orientation})}}}});
}

std::string XmpPacket(const std::string& orientation) {
  return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
         "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
         "xmlns:tiff='http://ns.adobe.com/tiff/1.0/' tiff:Orientation='" +
         orientation + "'/></rdf:RDF></x:xmpmeta>   <?xpacket end='w'?>";
}

TBytes Rewritten(const TBytes& file, TTiffOrientation orientation) {
  TExifData exif;
  EXPECT_TRUE(exif.LoadFromBytes(file));
  exif.General().SetOrientation(orientation);
  return exif.SaveToBytes(file);
}

TEST(PsdFile, ReplacesTheExifAndXmpResourcesInPlace) {
  const TBytes resolution = Resource(1005, TBytes(16, 1));
  const TBytes iptc = Resource(1028, Text("\x1C\x02\x19\0\x03sky"));
  const TBytes source =
      Psd(Concat({resolution, Resource(1058, OrientationBlock(6)), Resource(1060, Text(XmpPacket("6"))), iptc}));
  const TBytes out = Rewritten(source, toTopLeft);

  TExifData exif;
  ASSERT_TRUE(exif.LoadFromBytes(out));
  EXPECT_EQ(exif.General().Orientation(), toTopLeft);
  EXPECT_EQ(exif.ByteOrder(), boBigEndian);
  EXPECT_NE(exif.General().Find(0x010F), nullptr);
  EXPECT_EQ(exif.XMPPacket().PropertyValue(XmpNamespace::Tiff, "Orientation"), "1");
  const TBytes newExif = exif.SaveToTiffBlock();
  const TBytes expected =
      Psd(Concat({resolution, Resource(1058, newExif), Resource(1060, exif.XMPPacket().Bytes()), iptc}));
  EXPECT_EQ(out, expected);
}

TEST(PsdFile, AddsAnExifResourceWhenThereIsNoneAndRemovesOneLeftEmpty) {
  const TBytes resolution = Resource(1005, TBytes(16, 1));
  const TBytes topLeft = {'I', 'I', 0x2A, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Rewritten(Psd(resolution), toTopLeft), Psd(Concat({resolution, Resource(1058, topLeft)})));

  const TTiffBuilder b;
  const TBytes onlyOrientation = b.Build({{{{0x0112, 3, 1, b.Short({6})}}}});
  EXPECT_EQ(Rewritten(Psd(Concat({Resource(1058, onlyOrientation), resolution})), toUndefined), Psd(resolution));
}

TEST(PsdFile, RefusesADirectoryThatWouldOutgrowItsCount) {
  // IFD0 holds every tag ID but the orientation: adding it would make 65536
  // entries, which a 16-bit count cannot hold.
  const TTiffBuilder b;
  std::vector<TTiffBuilder::TEntry> entries;
  for (uint32_t id = 0; id <= 0xFFFF; ++id) {
    if (id == 0x0112) continue;
    if (id == 0x8769 || id == 0x8825)
      entries.push_back({uint16_t(id), 4, 1, b.Long({0})});
    else
      entries.push_back({uint16_t(id), 1, 1, {1}});
  }
  const size_t exifEntry = 0x8769 - 1, gpsEntry = 0x8825 - 1;
  const TBytes block = b.Build({{entries}, {{{0x8827, 3, 1, b.Short({100})}}}, {{{0x0001, 2, 2, b.Ascii("N")}}}}, 1,
                               {{0, exifEntry, 1}, {0, gpsEntry, 2}});
  TTestFolder folder;
  const std::string path = folder.Write("full.psd", Psd(Resource(1058, block)));
  const TBytes before = ReadFile(path);
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromGraphic(path));
  ASSERT_EQ(exif.General().Count(), 65535u);
  exif.General().SetOrientation(toTopLeft);
  try {
    exif.SaveToGraphic(path);
    ADD_FAILURE() << "a directory of 65536 tags was written";
  } catch (const EExifDataTooLarge& error) {
    EXPECT_STREQ(error.what(), "Too many tags in one directory");
  }
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_THROW(exif.SaveToTiffBlock(), EExifDataTooLarge);
  // One tag fewer fits.
  exif.General().Remove(0x0100);
  TExifData read;
  read.LoadFromTiffBlock(exif.SaveToTiffBlock());
  EXPECT_EQ(read.General().Count(), 65535u);
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
}

TEST(OutputPieces, CannotBeCopiedAndSurviveAMove) {
  // The pieces point into buffers the object owns: a copy would point into
  // the original's.
  EXPECT_FALSE(std::is_copy_constructible_v<TOutputPieces>);
  EXPECT_FALSE(std::is_copy_assignable_v<TOutputPieces>);
  const TBytes source = Text("unchanged ");
  TOutputPieces pieces;
  pieces.Append(std::span<const uint8_t>(source));
  pieces.Append(Text("new bytes"));
  TOutputPieces moved(std::move(pieces));
  TOutputPieces assigned;
  assigned = std::move(moved);
  EXPECT_EQ(assigned.Join(), Text("unchanged new bytes"));
}

TEST(PsdFile, DamagedResourcesAreAStreamReadErrorAndOtherVersionsUnsupported) {
  TBytes cut = Psd(Resource(1058, OrientationBlock(6)));
  cut.resize(PsdHeaderSize + 20);
  TExifData exif;
  EXPECT_THROW(exif.LoadFromBytes(cut), EStreamReadError);
  EXPECT_THROW(exif.SaveToBytes(cut), EStreamReadError);

  TBytes lying = Psd(Resource(1058, OrientationBlock(6)));
  lying[PsdHeaderSize + 4 + 8 + 3] = 0xFF;  // the resource's data size
  EXPECT_THROW(exif.LoadFromBytes(lying), EStreamReadError);

  TBytes psb = Psd(Resource(1058, OrientationBlock(6)));
  psb[5] = 2;
  EXPECT_FALSE(exif.LoadFromBytes(psb));
  EXPECT_THROW(exif.SaveToBytes(psb), EUnsupportedGraphicFormat);
}

// A two-page TIFF: IFD0 with two strips, descriptive tags, XMP and an Exif
// directory with a maker note; page 2 with one strip.
struct TTestTiff {
  TBytes File;
  TBytes Strips[3];
};

TTestTiff MakeTiff(bool bigEndian, const std::vector<TTiffBuilder::TEntry>& extraIfd0 = {}) {
  const TTiffBuilder b(bigEndian);
  TTestTiff tiff;
  tiff.Strips[0] = TBytes(8, 0x11);
  tiff.Strips[1] = TBytes(8, 0x22);
  tiff.Strips[2] = TBytes(4, 0x33);
  std::vector<TTiffBuilder::TEntry> ifd0 = {
      {0x0100, 3, 1, b.Short({4})},   {0x0101, 3, 1, b.Short({4})},
      {0x0102, 3, 1, b.Short({8})},   {0x0103, 3, 1, b.Short({1})},
      {0x0106, 3, 1, b.Short({1})},   {0x010F, 2, 6, b.Ascii("Canon")},
      {0x0111, 4, 2, b.Long({0, 0})}, {0x0112, 3, 1, b.Short({6})},
      {0x0116, 3, 1, b.Short({2})},   {0x0117, 4, 2, b.Long({8, 8})},
      {0x013B, 2, 3, b.Ascii("Jo")},  {0x02BC, 1, uint32_t(XmpPacket("6").size()), Text(XmpPacket("6"))},
      {0x8769, 4, 1, b.Long({0})}};
  ifd0.insert(ifd0.end(), extraIfd0.begin(), extraIfd0.end());
  const std::vector<TTiffBuilder::TEntry> page2 = {{0x0100, 3, 1, b.Short({2})},
                                                   {0x0101, 3, 1, b.Short({2})},
                                                   {0x010F, 2, 6, b.Ascii("Page2")},
                                                   {0x0111, 3, 1, b.Short({0})},
                                                   {0x0117, 3, 1, b.Short({4})}};
  const std::vector<TTiffBuilder::TEntry> exif = {{0x8827, 3, 1, b.Short({400})}, {0x927C, 7, 40, TBytes(40, 0x4E)}};
  uint32_t stripsAt = 0;
  tiff.File = b.Build({{ifd0}, {page2}, {exif}}, 2, {{0, 12, 2}},
                      Concat({tiff.Strips[0], tiff.Strips[1], tiff.Strips[2]}), &stripsAt);
  const uint32_t offsetsAt = b.Get32(tiff.File, 8 + 2 + 12 * 6 + 8);
  b.Put32(tiff.File, offsetsAt, stripsAt);
  b.Put32(tiff.File, offsetsAt + 4, stripsAt + 8);
  const size_t page2At = 8 + 6 + 12 * ifd0.size();
  b.Put16(tiff.File, page2At + 2 + 12 * 3 + 8, uint16_t(stripsAt + 16));
  return tiff;
}

// The pages of a TIFF file; it points into the file's bytes.
struct TReadTiff {
  TTiffBlock Block;
  std::vector<TTiffDirectory> Pages;
  TExifSection Page(size_t i) const {
    TExifSection section;
    section.Assign(Pages[i].Tags);
    return section;
  }
  TBytes Strip(size_t page, uint32_t index) const {
    const TExifSection section = Page(page);
    const uint32_t offset = section.Find(0x0111)->ElementAsUInt(index);
    const uint32_t size = section.Find(0x0117)->ElementAsUInt(index);
    return TBytes(Block.Bytes.begin() + offset, Block.Bytes.begin() + offset + size);
  }
};

TReadTiff ReadPages(const TBytes& file) {
  TReadTiff read;
  read.Block = ParseTiffHeader(file);
  TTiffValueBudget budget(file.size());
  for (uint32_t offset = read.Block.FirstDirectory; offset && read.Pages.size() < 10;) {
    read.Pages.push_back(ReadTiffDirectory(read.Block, offset, budget));
    offset = read.Pages.back().NextOffset;
  }
  return read;
}

class TiffFile : public testing::TestWithParam<bool> {};

TEST_P(TiffFile, RebuildKeepsImageDataAndDescriptiveTags) {
  const TTestTiff tiff = MakeTiff(GetParam());
  const TBytes out = Rewritten(tiff.File, toTopLeft);
  const TReadTiff read = ReadPages(out);
  EXPECT_EQ(read.Block.Order, GetParam() ? boBigEndian : boLittleEndian);
  ASSERT_EQ(read.Pages.size(), 2u);
  EXPECT_EQ(read.Strip(0, 0), tiff.Strips[0]);
  EXPECT_EQ(read.Strip(0, 1), tiff.Strips[1]);
  EXPECT_EQ(read.Strip(1, 0), tiff.Strips[2]);

  TExifData exif;
  ASSERT_TRUE(exif.LoadFromBytes(out));
  EXPECT_EQ(exif.General().Orientation(), toTopLeft);
  EXPECT_NE(exif.General().Find(0x010F), nullptr);
  EXPECT_NE(exif.General().Find(0x013B), nullptr);
  EXPECT_EQ(exif[esDetails].Find(0x8827)->ElementAsUInt(0), 400u);
  EXPECT_EQ(exif[esDetails].Find(0x927C)->Data, TBytes(40, 0x4E));
  EXPECT_EQ(exif.XMPPacket().PropertyValue(XmpNamespace::Tiff, "Orientation"), "1");
  // Page 2 keeps its own tags and gains the Exif directory it lacked.
  const TExifSection page2 = read.Page(1);
  EXPECT_EQ(std::string(page2.Find(0x010F)->Data.begin(), page2.Find(0x010F)->Data.end()), std::string("Page2\0", 6));
  EXPECT_EQ(page2.Find(0x0111)->DataType, tdShort);
  EXPECT_EQ(PointerValue(page2.Find(0x8769)), PointerValue(exif.General().Find(0x8769)));

  // Flipping removes the orientation and nothing else.
  const TBytes flipped = Rewritten(out, toUndefined);
  ASSERT_TRUE(exif.LoadFromBytes(flipped));
  EXPECT_EQ(exif.General().Find(0x0112), nullptr);
  EXPECT_NE(exif.General().Find(0x013B), nullptr);
  EXPECT_FALSE(exif.XMPPacket().HasProperty(XmpNamespace::Tiff, "Orientation"));
  EXPECT_EQ(ReadPages(flipped).Strip(0, 1), tiff.Strips[1]);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TiffFile, testing::Values(false, true));

TEST(TiffFileDamage, RefusesStripsOutsideTheFileAndPointersItCannotMove) {
  TTestTiff tiff = MakeTiff(false);
  TBytes cut = tiff.File;
  cut.resize(cut.size() - 2);
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromBytes(cut));
  EXPECT_THROW(exif.SaveToBytes(cut), EInvalidTiffData);

  const TTiffBuilder b;
  const TBytes sony = MakeTiff(false, {{0x7200, 4, 1, b.Long({40})}}).File;
  ASSERT_TRUE(exif.LoadFromBytes(sony));
  EXPECT_THROW(exif.SaveToBytes(sony), EUnsupportedTiffStructure);
}

TEST(TiffFileDamage, RefusesOffsetTagsTheRebuildCannotMove) {
  // Old-style JPEG tables are offsets into the file; so are the CR2 raw
  // directory pointer in the header and a maker note of another directory,
  // whose inner offsets count from the file's start.
  const TTiffBuilder b;
  TExifData exif;
  for (uint16_t tables : {0x0207, 0x0208, 0x0209}) {
    const TBytes file = MakeTiff(false, {{tables, 4, 3, b.Long({40, 60, 80})}}).File;
    ASSERT_TRUE(exif.LoadFromBytes(file));
    EXPECT_THROW(exif.SaveToBytes(file), EUnsupportedTiffStructure) << tables;
  }
  // A directory pointer in the Exif directory, which is written from its
  // tags, would keep its old offset.
  const TBytes plain = MakeTiff(false).File;
  ASSERT_TRUE(exif.LoadFromBytes(plain));
  TExifTag pointer = TExifTag::MakeLong(0x9999, 8);
  pointer.DataType = tdSubDirectory;
  exif[esDetails].SetTag(pointer);
  EXPECT_THROW(exif.SaveToBytes(plain), EUnsupportedTiffStructure);
  // The same tag holding values rather than offsets is harmless.
  const TBytes bytes = MakeTiff(false, {{0x0207, 7, 6, Text("tables")}}).File;
  ASSERT_TRUE(exif.LoadFromBytes(bytes));
  EXPECT_NO_THROW(exif.SaveToBytes(bytes));

  // A CR2 file: IFD0 moves to the end to make room for the raw marker.
  TBytes cr2 = MakeTiff(false).File;
  const size_t ifd0Size = 2 + 12 * 13 + 4;
  b.Put32(cr2, 4, uint32_t(cr2.size()));
  cr2.insert(cr2.end(), cr2.begin() + 8, cr2.begin() + 8 + ifd0Size);
  const TBytes marker = {'C', 'R', 2, 0, 0, 0, 0, 0};
  std::copy(marker.begin(), marker.end(), cr2.begin() + 8);
  ASSERT_TRUE(exif.LoadFromBytes(cr2));
  EXPECT_EQ(exif.General().Orientation(), toRightTop);
  EXPECT_THROW(exif.SaveToBytes(cr2), EUnsupportedTiffStructure);
}

TEST(TiffFileDamage, AMakerNoteOutsideTheMainExifDirectoryIsRefusedUnlessItIsTheSameOne) {
  // Page 2 gets an Exif directory of its own: first one with another maker
  // note, then the main Exif directory itself, as multi-page scanners write.
  const TTiffBuilder b;
  TTestTiff tiff = MakeTiff(false);
  const size_t page2At = 8 + 6 + 12 * 13, exifAt = page2At + 6 + 12 * 5;
  auto withPage2Exif = [&](uint32_t exifOffset) {
    TBytes file = tiff.File;
    // Page 2's last entry (StripByteCounts) becomes the Exif pointer; its
    // strip is then a single byte count short of valid, so drop the strip
    // pair by turning the offsets tag into an unknown tag.
    b.Put16(file, page2At + 2 + 12 * 3, 0x9000);
    b.Put16(file, page2At + 2 + 12 * 3 + 2, 7);
    b.Put16(file, page2At + 2 + 12 * 4, 0x8769);
    b.Put16(file, page2At + 2 + 12 * 4 + 2, 4);
    b.Put32(file, page2At + 2 + 12 * 4 + 4, 1);
    b.Put32(file, page2At + 2 + 12 * 4 + 8, exifOffset);
    return file;
  };
  TExifData exif;
  const TBytes shared = withPage2Exif(uint32_t(exifAt));
  ASSERT_TRUE(exif.LoadFromBytes(shared));
  exif.General().SetOrientation(toTopLeft);
  const TBytes out = exif.SaveToBytes(shared);
  const TReadTiff read = ReadPages(out);
  ASSERT_EQ(read.Pages.size(), 2u);
  TTiffValueBudget budget(out.size());
  const uint32_t mainNote = PointerValue(read.Page(0).Find(0x8769));
  const uint32_t pageNote = PointerValue(read.Page(1).Find(0x8769));
  TExifSection mainExif, pageExif;
  mainExif.Assign(ReadTiffDirectory(read.Block, mainNote, budget).Tags);
  pageExif.Assign(ReadTiffDirectory(read.Block, pageNote, budget).Tags);
  ASSERT_NE(pageExif.Find(0x927C), nullptr);
  EXPECT_EQ(pageExif.Find(0x927C)->OriginalDataOffset, mainExif.Find(0x927C)->OriginalDataOffset);
  EXPECT_EQ(pageExif.Find(0x927C)->Data, TBytes(40, 0x4E));

  // A copy of the Exif directory elsewhere, with a maker note of its own.
  TBytes other = withPage2Exif(uint32_t(tiff.File.size()));
  const size_t copyAt = other.size();
  other.insert(other.end(), tiff.File.begin() + std::ptrdiff_t(exifAt),
               tiff.File.begin() + std::ptrdiff_t(exifAt + 30));
  b.Put32(other, copyAt + 2 + 12 + 8, uint32_t(other.size()));
  other.insert(other.end(), 40, 0x4F);
  ASSERT_TRUE(exif.LoadFromBytes(other));
  EXPECT_THROW(exif.SaveToBytes(other), EUnsupportedTiffStructure);
}

TEST(TiffFileDamage, DirectoriesThatCannotBeWrittenBackAsTheyAreAreRefused) {
  // A bad entry in the Exif directory, which is written from the EXIF data,
  // and a second entry of one tag on page 2, where only the first is read:
  // either would change in a rebuild.
  const TTiffBuilder b;
  const size_t page2At = 8 + 6 + 12 * 13, exifAt = page2At + 6 + 12 * 5;
  TBytes badExif = MakeTiff(false).File;
  b.Put16(badExif, exifAt + 2 + 2, 0x77);
  TBytes twice = MakeTiff(true).File;
  TTiffBuilder(true).Put16(twice, page2At + 2 + 12 * 2, 0x0101);
  for (const TBytes& file : {badExif, twice}) {
    TExifData exif;
    ASSERT_TRUE(exif.LoadFromBytes(file));
    exif.General().SetOrientation(toTopLeft);
    try {
      exif.SaveToBytes(file);
      ADD_FAILURE() << "rewritten";
    } catch (const EUnsupportedTiffStructure& error) {
      EXPECT_STREQ(error.what(), "TIFF file holds damaged tags this program cannot keep");
    }
  }
}

TEST(TiffFileDamage, AGeneralTagTypedAsADirectoryIsNoPointerInTheFirstDirectory) {
  TTestTiff tiff = MakeTiff(false);
  const TTiffBuilder b;
  const size_t orientationAt = 8 + 2 + 12 * 7;
  b.Put16(tiff.File, orientationAt + 2, 13);
  b.Put32(tiff.File, orientationAt + 8, 8 + 6 + 12 * 13);  // page 2
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromBytes(Rewritten(tiff.File, toTopLeft)));
  EXPECT_EQ(exif.General().Orientation(), toTopLeft);
}

TEST(TiffFileDamage, ALoopInTheDirectoryChainEndsIt) {
  TTestTiff tiff = MakeTiff(false);
  const TTiffBuilder b;
  const size_t page2At = 8 + 6 + 12 * 13;
  b.Put32(tiff.File, page2At + 2 + 12 * 5, 8);  // page 2 links back to IFD0
  const TBytes out = Rewritten(tiff.File, toTopLeft);
  const TReadTiff read = ReadPages(out);
  EXPECT_EQ(read.Pages.size(), 2u);
  EXPECT_EQ(read.Strip(1, 0), tiff.Strips[2]);
}

TEST(TiffFileDamage, SubDirectoriesMoveWithTheirImageData) {
  // IFD0's SubIFDs tag points at a directory with a strip of its own: the
  // builder's third directory stands in for it.
  const TTiffBuilder b;
  TTestTiff tiff = MakeTiff(false, {{0x014A, 4, 1, b.Long({0})}});
  const size_t page2At = 8 + 6 + 12 * 14;
  b.Put32(tiff.File, 8 + 2 + 12 * 13 + 8, uint32_t(page2At));  // SubIFDs -> page 2 ...
  b.Put32(tiff.File, 8 + 2 + 12 * 14, 0);                      // ... which leaves the chain
  const TBytes out = Rewritten(tiff.File, toTopLeft);
  const TReadTiff read = ReadPages(out);
  ASSERT_EQ(read.Pages.size(), 1u);
  const TExifSection ifd0 = read.Page(0);
  TTiffValueBudget budget(out.size());
  const TTiffDirectory sub = ReadTiffDirectory(read.Block, PointerValue(ifd0.Find(0x014A)), budget);
  TExifSection subSection;
  subSection.Assign(sub.Tags);
  const uint32_t offset = subSection.Find(0x0111)->ElementAsUInt(0);
  EXPECT_EQ(TBytes(out.begin() + offset, out.begin() + offset + 4), tiff.Strips[2]);
}

}  // namespace
