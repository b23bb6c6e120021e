// velvane-orient as a command: silent on success, "FILE: MESSAGE" on
// standard error for each failure, the other files still processed.
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

const std::string Tool = VELVANE_ORIENT;

// Runs the tool; returns standard error.
std::string Orient(const std::string& arguments, int& code) {
  return RunCommand(ShellQuote(Tool) + " " + arguments + " 2>&1 >/dev/null", &code);
}

class OrientTool : public TTestFolder, public testing::Test {};

TEST_F(OrientTool, DeeplyNestedXmpIsRefusedInEveryFormat) {
  // A million levels (7 MB) in a TIFF file and a Photoshop file; a JPEG
  // segment holds some nine thousand.
  const TTiffBuilder b;
  const TBytes packet = Text(NestedXmp(1000000));
  const TBytes tiffFile = b.Build({{{{0x0100, 3, 1, b.Short({1})},
                                     {0x0101, 3, 1, b.Short({1})},
                                     {0x0112, 3, 1, b.Short({6})},
                                     {0x02BC, 1, uint32_t(packet.size()), packet}}}});
  const std::string tiff = Write("deep.tif", tiffFile);
  const std::string psd = Write("deep.psd", Psd(PsdResource(1060, packet)));
  const TBytes jpegPacket = Text(NestedXmp(9000));
  const std::string jpeg = Write(
      "deep.jpg",
      InsertAfterSoi(EncodeJpeg(16, 16),
                     Segment(0xE1, Concat({Text(std::string("http://ns.adobe.com/xap/1.0/\0", 29)), jpegPacket}))));
  const TBytes tiffBefore = ReadFile(tiff), psdBefore = ReadFile(psd), jpegBefore = ReadFile(jpeg);
  int code = 0;
  const std::string errors =
      Orient("--top-left " + ShellQuote(tiff) + " " + ShellQuote(psd) + " " + ShellQuote(jpeg), code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(errors, tiff + ": XMP packet is nested too deeply\n" + psd + ": XMP packet is nested too deeply\n" + jpeg +
                        ": XMP packet is nested too deeply\n");
  EXPECT_EQ(ReadFile(tiff), tiffBefore);
  EXPECT_EQ(ReadFile(psd), psdBefore);
  EXPECT_EQ(ReadFile(jpeg), jpegBefore);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"deep.jpg", "deep.psd", "deep.tif"}));
}

TEST_F(OrientTool, ReportsEachFailureAndGoesOn) {
  const std::string missing = Path("missing.jpg");
  const std::string png = Write("image.png", Text("\x89PNG\r\n\x1A\n"));
  const std::string truncated = Write("cut.jpg", {0xFF, 0xD8, 0xFF, 0xE1, 0x00});
  const std::string good = Write("good.jpg", EncodeJpeg(16, 16));
  int code = 0;
  const std::string errors = Orient("--top-left " + ShellQuote(missing) + " " + ShellQuote(png) + " " +
                                        ShellQuote(truncated) + " " + ShellQuote(good),
                                    code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(errors, missing + ": Cannot open file \"" + missing + "\". No such file or directory\n" + png +
                        ": Unsupported graphic format\n" + truncated + ": Stream read error\n");
  TExifData exif;
  exif.LoadFromGraphic(good);
  EXPECT_EQ(exif.General().Orientation(), toTopLeft);
}

// GreyTiff's first directory: where entry i and its value field lie.
size_t EntryAt(size_t i) { return 8 + 2 + 12 * i; }
constexpr size_t StripOffsetsEntry = 5, SamplesEntry = 6, RowsPerStripEntry = 7, StripByteCountsEntry = 8;

TEST_F(OrientTool, RefusesTiffFilesItCannotRebuildFaithfully) {
  // One file per kind of damage; a rebuild would move only the bytes the
  // tags name, or write a damaged entry back empty, so each is refused
  // with the file as it was.
  const TTiffBuilder b;
  const TBytes grey = GreyTiff(false);
  const uint32_t offsets = b.Get32(grey, EntryAt(StripOffsetsEntry) + 8);
  const uint32_t counts = b.Get32(grey, EntryAt(StripByteCountsEntry) + 8);
  const uint32_t pixels = b.Get32(grey, offsets);
  const std::string data = "TIFF image data does not match its strip or tile tags";
  const std::string tags = "TIFF file holds damaged tags this program cannot keep";
  struct TCase {
    std::string Name, Error;
    std::function<void(TBytes&)> Damage;
  };
  const std::vector<TCase> cases = {
      {"zero-count", data, [&](TBytes& f) { b.Put32(f, counts + 4, 0); }},
      {"short-strip", data, [&](TBytes& f) { b.Put32(f, counts, 20); }},
      {"huge-rows", data, [&](TBytes& f) { b.Put16(f, EntryAt(RowsPerStripEntry) + 8, 0xFFFF); }},
      {"no-rows", data, [&](TBytes& f) { b.Put16(f, EntryAt(RowsPerStripEntry) + 8, 0); }},
      {"overlap", data, [&](TBytes& f) { b.Put32(f, offsets + 4, pixels + 16); }},
      {"outside", "Invalid TIFF data", [&](TBytes& f) { b.Put32(f, offsets + 4, uint32_t(f.size() - 8)); }},
      {"tiles", data,
       [&](TBytes& f) {
         // 16 x 16 tiles: one covers the 8 x 8 picture, yet there are two.
         b.Put16(f, EntryAt(StripOffsetsEntry), 0x0144);
         b.Put16(f, EntryAt(SamplesEntry), 0x0143);
         b.Put16(f, EntryAt(SamplesEntry) + 8, 16);
         b.Put16(f, EntryAt(RowsPerStripEntry), 0x0142);
         b.Put16(f, EntryAt(RowsPerStripEntry) + 8, 16);
         b.Put16(f, EntryAt(StripByteCountsEntry), 0x0145);
       }},
      {"garbage-iptc", tags,
       [&](TBytes& f) {
         // The last entry becomes an IPTC block whose value lies past the end.
         b.Put16(f, EntryAt(11), 0x83BB);
         b.Put16(f, EntryAt(11) + 2, 4);
         b.Put32(f, EntryAt(11) + 4, 100);
         b.Put32(f, EntryAt(11) + 8, 0xFFFFFF00);
       }},
      {"broken-directory", tags,
       [&](TBytes& f) {
         // Two bad entries in a row end the directory before the strips.
         b.Put16(f, EntryAt(3) + 2, 0x77);
         b.Put16(f, EntryAt(4) + 2, 0x77);
       }},
  };
  std::string arguments = "--top-left", expected;
  std::vector<TBytes> before;
  for (const TCase& c : cases) {
    TBytes file = grey;
    c.Damage(file);
    const std::string path = Write(c.Name + ".tif", file);
    arguments += " " + ShellQuote(path);
    expected += path + ": " + c.Error + "\n";
    before.push_back(file);
  }
  int code = 0;
  EXPECT_EQ(Orient(arguments, code), expected);
  EXPECT_EQ(code, 1);
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(ReadFile(Path(cases[i].Name + ".tif")), before[i]) << cases[i].Name;
}

TEST_F(OrientTool, RebuildsSoundTiffFilesWithOneStripOrMany) {
  // A single strip under the default rows-per-strip (2^32 - 1) is sound.
  const TTiffBuilder b;
  TBytes single = GreyTiff(false);
  const uint32_t pixels = b.Get32(single, b.Get32(single, EntryAt(StripOffsetsEntry) + 8));
  b.Put16(single, EntryAt(RowsPerStripEntry) + 2, 4);
  b.Put32(single, EntryAt(RowsPerStripEntry) + 8, 0xFFFFFFFF);
  b.Put32(single, EntryAt(StripOffsetsEntry) + 4, 1);
  b.Put32(single, EntryAt(StripOffsetsEntry) + 8, pixels);
  b.Put32(single, EntryAt(StripByteCountsEntry) + 4, 1);
  b.Put32(single, EntryAt(StripByteCountsEntry) + 8, 64);
  const TBytes image(single.begin() + pixels, single.begin() + pixels + 64);
  const std::string one = Write("one.tif", single), two = Write("two.tif", GreyTiff(true));
  int code = 0;
  EXPECT_EQ(Orient("--top-left " + ShellQuote(one) + " " + ShellQuote(two), code), "");
  EXPECT_EQ(code, 0);
  const TBytes out = ReadFile(one);
  EXPECT_NE(std::search(out.begin(), out.end(), image.begin(), image.end()), out.end());
  TExifData exif;
  exif.LoadFromGraphic(two);
  EXPECT_EQ(exif.General().Orientation(), toTopLeft);
}

TEST_F(OrientTool, IsSilentOnSuccessAndChecksItsArguments) {
  const std::string a = Write("a.jpg", EncodeJpeg(16, 16)), b = Write("b.jpg", EncodeJpeg(8, 8));
  int code = -1;
  EXPECT_EQ(Orient("--top-left " + ShellQuote(a) + " " + ShellQuote(b), code), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Orient("--undefined " + ShellQuote(a) + " " + ShellQuote(b), code), "");
  EXPECT_EQ(code, 0);
  TExifData exif;
  exif.LoadFromGraphic(b);
  EXPECT_TRUE(exif.IsEmpty());

  EXPECT_NE(Orient("--sideways " + ShellQuote(a), code), "");
  EXPECT_EQ(code, 2);
  Orient("", code);
  EXPECT_EQ(code, 2);
}

}  // namespace
