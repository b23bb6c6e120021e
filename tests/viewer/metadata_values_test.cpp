// Camera data as the information overlay writes it: raw tag values read as a
// photographer reads them, checked against exiftool's reading of the same
// crafted files.
#include "viewer/metadata_values.h"
#include "viewer/metadata_lines.h"

#include "platform/free_bitmap.h"
#include "support/images.h"
#include "support/temp_folder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {

// ---- Tags as FreeImage holds them (numbers in this machine's order) ----

template <typename T>
QByteArray Raw(std::initializer_list<T> values) {
  QByteArray bytes;
  for (T v : values) bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
  return bytes;
}

TTagData Tag(FREE_IMAGE_MDMODEL model, std::uint16_t id, FREE_IMAGE_MDTYPE type, std::uint32_t count,
             const QByteArray& value, const QString& freeImageText = {}) {
  return TTagData{model, id, type, count, value, freeImageText};
}

TEST(MetadataValues, CameraSettingsAreReadFromTheRawValue) {
  // FreeImage's text for each is wrong: 6400 for ISO 32, 1/16 for 1/25 s, raw fractions.
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x8827, FIDT_SHORT, 1, Raw<std::uint16_t>({32}), "6400")), "32");
  EXPECT_EQ(
      MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9201, FIDT_SRATIONAL, 1, Raw<std::int32_t>({4644, 1000}), "1/16 sec")),
      "1/25 s");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x829A, FIDT_RATIONAL, 1, Raw<std::uint32_t>({10, 4}))), "2.5 s");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x829D, FIDT_RATIONAL, 1, Raw<std::uint32_t>({11, 5}))), "f/2.2");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9202, FIDT_RATIONAL, 1, Raw<std::uint32_t>({8077, 3549}))),
            "f/2.2");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9204, FIDT_SRATIONAL, 1, Raw<std::int32_t>({-1, 3}))), "-1/3 EV");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9204, FIDT_SRATIONAL, 1, Raw<std::int32_t>({0, 1}))), "0 EV");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9209, FIDT_SHORT, 1, Raw<std::uint16_t>({16}),
                                  "Flash did not fire, compulsory flash mode")),
            "Off, Did not fire");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_GPS, 0x06, FIDT_RATIONAL, 1, Raw<std::uint32_t>({11513, 18}))), "639.6 m");
  // 48 deg and 51.492 minutes, as phones write it.
  EXPECT_EQ(
      MetadataValueText(Tag(FIMD_EXIF_GPS, 0x02, FIDT_RATIONAL, 3, Raw<std::uint32_t>({48, 1, 51492, 1000, 0, 1}))),
      QString::fromUtf8("48\u00B0 51' 29.52\""));
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_GPS, 0x07, FIDT_RATIONAL, 3, Raw<std::uint32_t>({9, 1, 5, 1, 71, 2}))),
            "09:05:35.5");
}

TEST(MetadataValues, NothingUnreadableReachesTheScreen) {
  // Maker-note text that is not text, and padding, zero denominators and
  // values shorter than their count.
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_MAKERNOTE, 3, FIDT_ASCII, 6,
                                  QByteArray("\xf2\x01\x00\x07"
                                             "AB",
                                             6))),
            "f2 01 00 07 41 42");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_MAKERNOTE, 0x10, FIDT_UNDEFINED, 20, QByteArray(20, '\x90'))),
            "90 90 90 90 90 90 90 90 ... (20 bytes)");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_MAKERNOTE, 1, FIDT_UNDEFINED, 4, "0210")), "0210");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_MAIN, 0x010E, FIDT_ASCII, 41, QByteArray(40, ' ') + '\0')), "");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_MAKERNOTE, 5, FIDT_ASCII, 6, QByteArray("AUTO \0", 6))), "AUTO");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x829A, FIDT_RATIONAL, 1, Raw<std::uint32_t>({1, 0}))), "inf");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0xA404, FIDT_RATIONAL, 1, Raw<std::uint32_t>({0, 0}), "0/0")),
            "undef");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_GPS, 0x02, FIDT_RATIONAL, 3, Raw<std::uint32_t>({48, 1}))),
            "30 00 00 00 01 00 00 00");
  // Numbers no camera writes, of types no camera uses: written as they are.
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x829A, FIDT_DOUBLE, 1, Raw<double>({1e-300}))), "1e-300");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9204, FIDT_DOUBLE, 1, Raw<double>({1e300}))), "1e+300");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9209, FIDT_SLONG, 1, Raw<std::int32_t>({-5}))), "-5");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_GPS, 0x05, FIDT_DOUBLE, 1, Raw<double>({-1e300}))), "-1e+300");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_GPS, 0x02, FIDT_DOUBLE, 1, Raw<double>({1e300}))), "1e+300");
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_GPS, 0x07, FIDT_DOUBLE, 1, Raw<double>({NAN}))), "undef");
  std::vector<std::uint16_t> many(5000, 7);
  const QByteArray manyBytes(reinterpret_cast<const char*>(many.data()), qsizetype(many.size() * 2));
  EXPECT_TRUE(MetadataValueText(Tag(FIMD_EXIF_MAKERNOTE, 9, FIDT_SHORT, 5000, manyBytes, "\x01"))
                  .endsWith("7 7 ... (5000 values)"));
  // A whole number FreeImage wrote with a control character falls back to the number.
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_MAKERNOTE, 7, FIDT_SHORT, 2, Raw<std::uint16_t>({3, 4}), "\x01")), "3 4");
  // A comment in UTF-16 of either byte order, and one in plain ASCII.
  const QByteArray utf16be = QByteArray("UNICODE\0", 8) + QByteArray("\0H\0i\0\xe9", 6);
  const QByteArray utf16le = QByteArray("UNICODE\0", 8) + QByteArray("H\0i\0\xe9\0", 6);
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9286, FIDT_UNDEFINED, 14, utf16be)), QString::fromUtf8("Hi\u00e9"));
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9286, FIDT_UNDEFINED, 14, utf16le)), QString::fromUtf8("Hi\u00e9"));
  EXPECT_EQ(MetadataValueText(Tag(FIMD_EXIF_EXIF, 0x9286, FIDT_UNDEFINED, 12, QByteArray("ASCII\0\0\0hey ", 12))),
            "hey");
  // Windows' title and comment: UTF-16 held as bytes.
  EXPECT_EQ(MetadataValueText(
                Tag(FIMD_EXIF_MAIN, 0x9C9C, FIDT_BYTE, 8, QByteArray("H\0\xe9\0y\0\0\0", 8), "72 0 233 0 121 0 0 0")),
            QString::fromUtf8("H\u00e9y"));
}

// ---- A crafted EXIF block, in either byte order ----

struct TEntry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  QByteArray data;  // in the block's byte order
};

class TBlock {
public:
  explicit TBlock(bool bigEndian) : FBig(bigEndian) {}
  QByteArray U16(std::initializer_list<unsigned> values) const {
    QByteArray b;
    for (unsigned v : values) {
      b += char(FBig ? v >> 8 : v);
      b += char(FBig ? v : v >> 8);
    }
    return b;
  }
  QByteArray U32(std::initializer_list<std::uint32_t> values) const {
    QByteArray b;
    for (std::uint32_t v : values) b += FBig ? U16({v >> 16, v & 0xFFFF}) : U16({v & 0xFFFF, v >> 16});
    return b;
  }
  TEntry Short(std::uint16_t tag, unsigned v) const { return {tag, 3, 1, U16({v})}; }
  TEntry Byte(std::uint16_t tag, QByteArray bytes) const { return {tag, 1, std::uint32_t(bytes.size()), bytes}; }
  TEntry Ascii(std::uint16_t tag, const QByteArray& text) const {
    return {tag, 2, std::uint32_t(text.size() + 1), text + '\0'};
  }
  TEntry Undefined(std::uint16_t tag, const QByteArray& bytes) const {
    return {tag, 7, std::uint32_t(bytes.size()), bytes};
  }
  TEntry Rational(std::uint16_t tag, std::initializer_list<std::uint32_t> pairs, bool isSigned = false) const {
    return {tag, std::uint16_t(isSigned ? 10 : 5), std::uint32_t(pairs.size() / 2), U32(pairs)};
  }
  TEntry Long(std::uint16_t tag, std::uint32_t v) const { return {tag, 4, 1, U32({v})}; }
  QByteArray Header() const { return (FBig ? QByteArray("MM") : QByteArray("II")) + U16({42}) + U32({8}); }
  // A directory placed at offset (from the TIFF header), its long values after it.
  QByteArray Ifd(std::vector<TEntry> entries, std::uint32_t offset) const {
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) { return a.tag < b.tag; });
    QByteArray head = U16({unsigned(entries.size())});
    QByteArray data;
    const std::uint32_t dataStart = offset + 2 + 12 * std::uint32_t(entries.size()) + 4;
    for (const TEntry& e : entries) {
      head += U16({e.tag, e.type}) + U32({e.count});
      if (e.data.size() <= 4) {
        head += e.data + QByteArray(4 - e.data.size(), '\0');
      } else {
        head += U32({dataStart + std::uint32_t(data.size())});
        data += e.data;
        if (data.size() % 2) data += '\0';
      }
    }
    return head + U32({0}) + data;
  }

private:
  bool FBig;
};

// A Nikon maker note of the kind with its own TIFF header: its offsets count
// from that header, wherever the note lies in the file.
QByteArray NikonMakerNote(const TBlock& b) {
  const std::vector<TEntry> entries = {
      b.Undefined(0x0001, "0210"),
      b.Ascii(0x0004, QByteArray("\x01\x02\x03", 3)),                                // control characters
      b.Ascii(0x0005, "AUTO        "),                                               // padded text
      b.Undefined(0x0010, QByteArray::fromHex("80818283f0f1f2f30001020304050607")),  // binary
      b.Rational(0x0084, {18, 1, 55, 1, 35, 10, 56, 10}),                            // lens: 18-55 mm f/3.5-5.6
  };
  return QByteArray("Nikon\0\x02\x10\0\0", 10) + b.Header() + b.Ifd(entries, 8);
}

QByteArray ExifBlock(bool bigEndian) {
  const TBlock b(bigEndian);
  const QByteArray longArtist = QByteArray("A very long name of an artist ").repeated(8);
  std::vector<TEntry> ifd0 = {
      b.Ascii(0x010F, "NIKON CORPORATION"),
      b.Ascii(0x0110, "NIKON D7000"),
      b.Ascii(0x010E, QByteArray(40, ' ')),  // an empty description, padded
      b.Ascii(0x013B, longArtist),
      b.Ascii(0x0132, "2023:05:01 12:00:00"),
      b.Long(0x8769, 0),
      b.Long(0x8825, 0),
      b.Byte(0x9C9C, QByteArray("H\0\xe9\0l\0l\0o\0\0\0", 12)),  // Windows' comment, UTF-16
  };
  const std::vector<TEntry> exif = {
      b.Short(0x8827, 32),                               // ISO as SHORT
      b.Rational(0x829A, {1, 25}),                       // 1/25 s
      b.Rational(0x9201, {4644, 1000}, true),            // shutter as SRATIONAL (APEX)
      b.Rational(0x829D, {22, 10}),                      // f/2.2
      b.Rational(0x9202, {2275, 1000}),                  // aperture (APEX)
      b.Rational(0x9205, {170, 100}),                    // max aperture (APEX)
      b.Rational(0x920A, {42, 10}),                      // 4.2 mm
      b.Short(0xA405, 26),                               // 26 mm in 35 mm film
      b.Rational(0x9204, {std::uint32_t(-2), 3}, true),  // -2/3 EV
      b.Rational(0x9206, {5, 2}),                        // 2.5 m
      b.Short(0x9209, 0x19),                             // flash fired, auto mode
      b.Ascii(0x9003, "2023:05:01 12:34:56"),
      b.Undefined(0x927C, NikonMakerNote(b)),
  };
  const std::vector<TEntry> gps = {
      b.Byte(0x0000, QByteArray("\x02\x03\x00\x00", 4)),
      b.Ascii(0x0001, "N"),
      b.Rational(0x0002, {48, 1, 51, 1, 2952, 100}),
      b.Ascii(0x0003, "E"),
      b.Rational(0x0004, {2, 1, 17, 1, 4020, 100}),
      b.Byte(0x0005, QByteArray(1, '\0')),
      b.Rational(0x0006, {11513, 18}),  // GPS altitude as RATIONAL
      b.Rational(0x0007, {12, 1, 34, 1, 56, 1}),
  };
  // The sub-directories follow IFD0; their sizes do not depend on where they lie.
  const std::uint32_t exifAt = 8 + std::uint32_t(b.Ifd(ifd0, 8).size());
  const std::uint32_t gpsAt = exifAt + std::uint32_t(b.Ifd(exif, exifAt).size());
  ifd0[5] = b.Long(0x8769, exifAt);
  ifd0[6] = b.Long(0x8825, gpsAt);
  return b.Header() + b.Ifd(ifd0, 8) + b.Ifd(exif, exifAt) + b.Ifd(gps, gpsAt);
}

QString WriteJpegWithExif(const TempFolder& dir, const QString& name, const QByteArray& tiff) {
  const QString plain = dir.File("plain.jpg");
  if (!testimg::Save(testimg::Solid24(16, 16, 0x808080), FIF_JPEG, plain)) return {};
  const QByteArray jpeg = testimg::ReadFile(plain);
  const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
  QByteArray segment("\xFF\xE1", 2);
  segment += char((app1.size() + 2) >> 8);
  segment += char((app1.size() + 2) & 0xFF);
  return dir.Write(name, jpeg.left(2) + segment + app1 + jpeg.mid(2));
}

// exiftool's reading: "Group:Tag" -> printed value.
std::map<QString, QString> ExifTool(const QString& path) {
  QProcess tool;
  tool.start(QStringLiteral("exiftool"), {"-j", "-G1", "-a", "-u", path});
  if (!tool.waitForFinished(60000)) return {};
  const QJsonDocument doc = QJsonDocument::fromJson(tool.readAllStandardOutput());
  std::map<QString, QString> values;
  const QJsonObject object = doc.array().at(0).toObject();
  for (auto it = object.begin(); it != object.end(); ++it) values[it.key()] = it.value().toVariant().toString();
  return values;
}

// The overlay's lines as key -> value.
std::map<QString, QString> OverlayValues(const QString& path) {
  std::map<QString, QString> values;
  FIBITMAP* dib = FreeImage_Load(FIF_JPEG, path.toUtf8().constData(), 0);
  if (!dib) return values;
  for (const QString& line : CollectAllMetadataLines(dib)) {
    const qsizetype colon = line.indexOf(QLatin1String(": "));
    values[line.left(colon)] = line.mid(colon + 2).chopped(1);  // every line ends in a space
  }
  TFreeBitmap{dib}.Clear();
  return values;
}

TEST(MetadataValues, CraftedExifReadsAsExifToolReadsIt) {
  TempFolder dir;
  for (const bool bigEndian : {true, false}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    const QString path = WriteJpegWithExif(dir, bigEndian ? "mm.jpg" : "ii.jpg", ExifBlock(bigEndian));
    std::map<QString, QString> ours = OverlayValues(path);
    std::map<QString, QString> tool = ExifTool(path);
    ASSERT_FALSE(ours.empty());
    ASSERT_FALSE(tool.empty()) << "exiftool did not read " << path.toStdString();

    // Same value, written the same way or with its unit.
    EXPECT_EQ(ours["ISOSpeedRatings"], tool["ExifIFD:ISO"]);
    EXPECT_EQ(ours["ExposureTime"], tool["ExifIFD:ExposureTime"] + " s");
    EXPECT_EQ(ours["ShutterSpeedValue"], tool["ExifIFD:ShutterSpeedValue"] + " s");
    EXPECT_EQ(ours["FNumber"], "f/" + tool["ExifIFD:FNumber"]);
    EXPECT_EQ(ours["ApertureValue"], "f/" + tool["ExifIFD:ApertureValue"]);
    EXPECT_EQ(ours["MaxApertureValue"], "f/" + tool["ExifIFD:MaxApertureValue"]);
    EXPECT_EQ(ours["FocalLength"], tool["ExifIFD:FocalLength"]);
    EXPECT_EQ(ours["FocalLengthIn35mmFilm"], tool["ExifIFD:FocalLengthIn35mmFormat"]);
    EXPECT_EQ(ours["ExposureBiasValue"], tool["ExifIFD:ExposureCompensation"] + " EV");
    EXPECT_EQ(ours["SubjectDistance"], tool["ExifIFD:SubjectDistance"]);
    EXPECT_EQ(ours["Flash"], tool["ExifIFD:Flash"]);
    EXPECT_EQ(ours["DateTimeOriginal"], tool["ExifIFD:DateTimeOriginal"]);
    EXPECT_EQ(ours["DateTime"], tool["IFD0:ModifyDate"]);
    EXPECT_EQ(ours["Artist"], tool["IFD0:Artist"]);  // long values stay whole; the painter elides them
    EXPECT_EQ(ours["ImageDescription"], "");
    EXPECT_EQ(ours["XPComment"], tool["IFD0:XPComment"]);
    EXPECT_EQ(ours["GPSVersionID"], tool["GPS:GPSVersionID"]);
    EXPECT_EQ(ours["GPSLatitudeRef"], tool["GPS:GPSLatitudeRef"]);
    EXPECT_EQ(ours["GPSLatitude"], QString(tool["GPS:GPSLatitude"]).replace(" deg", QString::fromUtf8("\u00B0")));
    EXPECT_EQ(ours["GPSLongitude"], QString(tool["GPS:GPSLongitude"]).replace(" deg", QString::fromUtf8("\u00B0")));
    EXPECT_EQ(ours["GPSAltitudeRef"], tool["GPS:GPSAltitudeRef"]);
    EXPECT_EQ(ours["GPSAltitude"], "639.6 m");
    EXPECT_NEAR(tool["GPS:GPSAltitude"].section(' ', 0, 0).toDouble(), 639.6, 0.1);
    EXPECT_EQ(ours["GPSTimeStamp"], tool["GPS:GPSTimeStamp"]);

    // The maker note, its values read from where they lie: text where it is
    // text, hex where it is not.
    EXPECT_EQ(ours["MakerNoteVersion"], "0210");
    EXPECT_EQ(ours["Quality"], "01 02 03");
    EXPECT_EQ(ours["WhiteBalance"], tool["Nikon:WhiteBalance"].toUpper());  // exiftool writes it "Auto"
    EXPECT_EQ(ours["DataDump"], "80 81 82 83 f0 f1 f2 f3 ... (16 bytes)");
    EXPECT_EQ(ours["Lens"], "18 55 3.5 5.6");
    EXPECT_EQ(tool["Nikon:Lens"], "18-55mm f/3.5-5.6");
    for (const auto& [key, value] : ours)
      for (QChar c : value)
        EXPECT_TRUE(c.isPrint() && c != QChar::ReplacementCharacter)
            << key.toStdString() << ": " << value.toStdString();
  }
}

}  // namespace
