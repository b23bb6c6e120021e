// The JPEG path end to end on files: the segment rewrite, byte for byte.
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

namespace {

const TBytes TopLeftSegment = {0xFF, 0xE1, 0x00, 0x22, 0x45, 0x78, 0x69, 0x66, 0x00, 0x00, 0x49, 0x49,
                               0x2A, 0x00, 0x08, 0x00, 0x00, 0x00, 0x01, 0x00, 0x12, 0x01, 0x03, 0x00,
                               0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

TBytes ExifSegment(const TBytes& block) { return Segment(0xE1, Concat({Text(std::string("Exif\0\0", 6)), block})); }

TBytes XmpSegment(const std::string& packet) {
  return Segment(0xE1, Concat({Text(std::string("http://ns.adobe.com/xap/1.0/\0", 29)), Text(packet)}));
}

std::string Packet(const std::string& description) {
  return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
         "<rdf:Description rdf:about='' xmlns:tiff='http://ns.adobe.com/tiff/1.0/' "
         "xmlns:exif='http://ns.adobe.com/exif/1.0/' " +
         description + "</rdf:Description></rdf:RDF></x:xmpmeta>\n" + std::string(200, ' ') + "\n<?xpacket end='w'?>";
}

// Load, set, save: what the rotate and flip commands do.
void Reset(const std::string& path, TTiffOrientation orientation) {
  TExifData exif;
  exif.LoadFromGraphic(path);
  exif.General().SetOrientation(orientation);
  exif.SaveToGraphic(path);
}

TBytes Rewritten(const TBytes& file, TTiffOrientation orientation) {
  TTestFolder folder;
  const std::string path = folder.Write("photo.jpg", file);
  Reset(path, orientation);
  return ReadFile(path);
}

TEST(JpegRewrite, TopLeftAddsTheMinimalExifSegmentAfterTheApp0Segments) {
  const TBytes plain = EncodeJpeg(32, 16, 85, false);
  const TBytes jfif = Segment(0xE0, Text(std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14)));
  const TBytes jfxx = Segment(0xE0, Text(std::string("JFXX\0\x13", 6)));
  const TBytes source = InsertAfterSoi(plain, Concat({jfif, jfxx}));
  const TBytes expected =
      Concat({TBytes{0xFF, 0xD8}, jfif, jfxx, TopLeftSegment, TBytes(plain.begin() + 2, plain.end())});
  EXPECT_EQ(Rewritten(source, toTopLeft), expected);
}

TEST(JpegRewrite, UndefinedOnAFileWithoutExifLeavesItByteIdentical) {
  const TBytes source = EncodeJpeg(32, 16);
  EXPECT_EQ(Rewritten(source, toUndefined), source);
}

TEST(JpegRewrite, MovesApp0SegmentsInFrontOfTheExifSegment) {
  const TBytes plain = EncodeJpeg(16, 16, 85, false);
  const TBytes jfif = Segment(0xE0, Text(std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14)));
  const TBytes source =
      InsertAfterSoi(plain, Concat({ExifSegment(TBytes(TopLeftSegment.begin() + 10, TopLeftSegment.end())), jfif}));
  const TBytes expected = Concat({TBytes{0xFF, 0xD8}, jfif, TopLeftSegment, TBytes(plain.begin() + 2, plain.end())});
  EXPECT_EQ(Rewritten(source, toTopLeft), expected);
}

TEST(JpegRewrite, KeepsABigEndianBlockBigEndian) {
  const TTiffBuilder b(true);
  const TBytes block = b.Build({{{{0x010F, 2, 6, b.Ascii("Canon")}, {0x0112, 3, 1, b.Short({8})}}}});
  const TBytes out = Rewritten(InsertAfterSoi(EncodeJpeg(16, 16), ExifSegment(block)), toTopLeft);
  TExifData read;
  read.LoadFromBytes(out);
  EXPECT_EQ(read.ByteOrder(), boBigEndian);
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
  EXPECT_EQ(std::string(read.General().Find(0x010F)->Data.begin(), read.General().Find(0x010F)->Data.end()),
            std::string("Canon\0", 6));
  const size_t exifAt = 2 + 18;  // SOI and the JFIF segment
  EXPECT_EQ(out[exifAt + 10], 'M');
}

TEST(JpegRewrite, FlipRemovesAnExifSegmentThatHeldOnlyTheOrientation) {
  const TBytes source = EncodeJpeg(16, 16);
  const TBytes withExif =
      InsertAfterSoi(source, ExifSegment(TBytes(TopLeftSegment.begin() + 10, TopLeftSegment.end())));
  EXPECT_EQ(Rewritten(withExif, toUndefined), source);
}

TEST(JpegRewrite, IfdOneTagsWithoutAThumbnailStillGetAnEmptyIfd0) {
  // IFD1 is not written without its thumbnail, but the data is not empty:
  // the segment stays, holding an empty IFD0.
  const TTiffBuilder b;
  const TBytes block = b.Build({{{{0x0112, 3, 1, b.Short({6})}}},
                                {{{0x0103, 3, 1, b.Short({6})}, {0x011A, 5, 1, Concat({b.Long({72}), b.Long({1})})}}}},
                               2);
  const TBytes plain = EncodeJpeg(16, 16, 85, false);
  const TBytes emptyIfd0 = {'I', 'I', 0x2A, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const TBytes expected = InsertAfterSoi(plain, ExifSegment(emptyIfd0));
  EXPECT_EQ(Rewritten(InsertAfterSoi(plain, ExifSegment(block)), toUndefined), expected);
  // Written again, no section holds a tag any more: the segment goes.
  EXPECT_EQ(Rewritten(expected, toUndefined), plain);
}

TEST(JpegRewrite, DropsThePaddingTagAndSetsPixelDimensionsToTheFrame) {
  const TTiffBuilder b;
  TBytes padding(100, 0);
  padding[0] = 0x1C;
  padding[1] = 0xEA;
  const TBytes block =
      b.Build({{{{0x0112, 3, 1, b.Short({6})}, {0x8769, 4, 1, b.Long({0})}, {0xEA1C, 7, 100, padding}}},
               {{{0xA002, 3, 1, b.Short({1})}, {0xA003, 4, 1, b.Long({1})}, {0xEA1C, 7, 100, padding}}}},
              1, {{0, 1, 1}});
  const TBytes source =
      InsertAfterSoi(EncodeJpeg(48, 20), Concat({ExifSegment(block), XmpSegment(Packet("exif:PixelXDimension='1'>"))}));
  const TBytes out = Rewritten(source, toTopLeft);
  TExifData read;
  read.LoadFromBytes(out);
  EXPECT_EQ(read.General().Find(0xEA1C), nullptr);
  EXPECT_EQ(read[esDetails].Find(0xEA1C), nullptr);
  const TExifTag& x = *read[esDetails].Find(0xA002);
  const TExifTag& y = *read[esDetails].Find(0xA003);
  EXPECT_EQ(x.DataType, tdShort);
  EXPECT_EQ(x.ElementAsUInt(0), 48u);
  EXPECT_EQ(y.DataType, tdLong);
  EXPECT_EQ(y.ElementAsUInt(0), 20u);
  EXPECT_EQ(read.XMPPacket().PropertyValue(XmpNamespace::Exif, "PixelXDimension"), "48");
  EXPECT_FALSE(read.XMPPacket().HasProperty(XmpNamespace::Exif, "PixelYDimension"));
}

TEST(JpegRewrite, KeepsTheImageDataAndOtherSegmentsInTheirOrder) {
  const TBytes jpeg = EncodeJpeg(40, 30);
  const TBytes comment = Segment(0xFE, Text("a comment"));
  const TBytes secondExif = ExifSegment(TBytes(TopLeftSegment.begin() + 10, TopLeftSegment.end()));
  const TBytes icc = Segment(0xE2, Text("ICC_PROFILE..."));
  const TBytes extendedXmp = Segment(0xE1, Text(std::string("http://ns.adobe.com/xmp/extension/\0data", 39)));
  const TTiffBuilder b;
  const TBytes firstExif = ExifSegment(b.Build({{{{0x0112, 3, 1, b.Short({3})}}}}));
  const TBytes xmp = XmpSegment(Packet("tiff:Orientation='3'>"));
  const TBytes secondXmp = XmpSegment(Packet("tiff:Orientation='5'>"));
  // Fill bytes before a marker belong to its segment.
  const TBytes filledXmp = Concat({TBytes{0xFF, 0xFF}, xmp});
  const TBytes source =
      InsertAfterSoi(jpeg, Concat({comment, firstExif, icc, filledXmp, secondExif, extendedXmp, secondXmp}));

  const TBytes out = Rewritten(source, toTopLeft);
  TExifData read;
  read.LoadFromBytes(out);
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
  EXPECT_EQ(read.XMPPacket().PropertyValue(XmpNamespace::Tiff, "Orientation"), "1");
  // SOI, JFIF, new Exif, new XMP, then the rest in order without the
  // replaced segments: the image data is untouched.
  const size_t jfifEnd = 2 + 18;
  const TBytes packet = read.XMPPacket().Bytes();
  const TBytes newXmp = XmpSegment(std::string(packet.begin(), packet.end()));
  const TBytes expected = Concat({TBytes(jpeg.begin(), jpeg.begin() + jfifEnd), TopLeftSegment, newXmp, comment, icc,
                                  secondExif, extendedXmp, secondXmp, TBytes(jpeg.begin() + jfifEnd, jpeg.end())});
  EXPECT_EQ(out, expected);
  EXPECT_EQ(newXmp.size(), xmp.size());  // the padding took up the change
}

class JpegDamage : public TTestFolder, public testing::Test {};

void ExpectRefused(const TTestFolder& folder, const TBytes& file, const std::string& message, bool loads) {
  const std::string path = folder.Write("damaged.jpg", file);
  TExifData exif;
  if (loads) {
    EXPECT_TRUE(exif.LoadFromGraphic(path));
  } else {
    try {
      exif.LoadFromGraphic(path);
      ADD_FAILURE() << "loading did not fail";
    } catch (const EExifError& error) {
      EXPECT_EQ(error.what(), message);
    }
  }
  exif.General().SetOrientation(toTopLeft);
  try {
    exif.SaveToGraphic(path);
    ADD_FAILURE() << "saving did not fail";
  } catch (const EExifError& error) {
    EXPECT_EQ(error.what(), message);
  }
  EXPECT_EQ(ReadFile(path), file);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"damaged.jpg"});
}

TEST_F(JpegDamage, TruncatedSegmentsRaiseStreamReadErrorAndLeaveTheFile) {
  const TBytes jpeg = EncodeJpeg(16, 16);
  ExpectRefused(*this, {0xFF, 0xD8, 0xFF, 0xE1, 0x00}, "Stream read error", false);
  ExpectRefused(*this, {0xFF, 0xD8, 0xFF, 0xE1, 0x01, 0x00, 'E', 'x'}, "Stream read error", false);
  ExpectRefused(*this, {0xFF, 0xD8, 0xFF}, "Stream read error", false);
  ExpectRefused(*this, TBytes(jpeg.begin(), jpeg.begin() + 30), "Stream read error", false);
  ExpectRefused(*this, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9}, "JPEG header is not valid", false);
}

TEST_F(JpegDamage, BadTiffHeaderInTheExifSegmentIsInvalidTiffData) {
  const TBytes source = InsertAfterSoi(EncodeJpeg(16, 16), ExifSegment(Text(std::string("II*\0\x08", 5))));
  const std::string path = Write("bad.jpg", source);
  TExifData exif;
  EXPECT_THROW(exif.LoadFromGraphic(path), EInvalidTiffData);
  EXPECT_TRUE(exif.IsEmpty());
}

TEST_F(JpegDamage, OtherFormatsAreUnsupportedAndUntouched) {
  const TBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (const TBytes& file : {png, TBytes()}) {
    const std::string path = Write("image.png", file);
    TExifData exif;
    EXPECT_FALSE(exif.LoadFromGraphic(path));
    EXPECT_TRUE(exif.IsEmpty());
    exif.General().SetOrientation(toTopLeft);
    try {
      exif.SaveToGraphic(path);
      ADD_FAILURE();
    } catch (const EUnsupportedGraphicFormat& error) {
      EXPECT_STREQ(error.what(), "Unsupported graphic format");
    }
    EXPECT_EQ(ReadFile(path), file);
  }
}

TEST_F(JpegDamage, ExifDataTooLargeForASegmentIsRefused) {
  const TBytes source = EncodeJpeg(16, 16);
  const std::string path = Write("large.jpg", source);
  TExifData exif;
  exif.LoadFromGraphic(path);
  const std::string description(70000, 'x');
  exif.General().SetTag(
      TExifTag::MakeBytes(0x010E, tdAscii, reinterpret_cast<const uint8_t*>(description.data()), description.size()));
  EXPECT_THROW(exif.SaveToGraphic(path), EExifDataTooLarge);
  EXPECT_EQ(ReadFile(path), source);
}

}  // namespace
