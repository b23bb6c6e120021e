// End to end through velvane-orient, checked by an independent reader:
// exiftool makes realistic inputs and judges the results (orientation read
// back, no new validation warnings, every other tag unchanged, image data
// untouched).
#include "exif_test_support.h"
#include "maker_note_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace {

const std::string Tool = VELVANE_ORIENT;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string RunExiftool(const std::string& arguments, const std::string& path) {
  return RunCommand("exiftool " + arguments + " " + ShellQuote(path) + " 2>&1");
}

// Every tag with its group, except file-system facts, the orientation and
// the positions of the thumbnail and the strips, which a rewrite may move
// (the bytes they point at are compared on their own).
bool IsCompared(const std::string& line) {
  if (line.starts_with("[ExifTool]") || line.starts_with("[System]") || line.starts_with("[File]")) return false;
  return line.find("Orientation") == std::string::npos && line.find("ThumbnailOffset") == std::string::npos &&
         line.find("StripOffsets") == std::string::npos;
}

std::vector<std::string> OtherTags(const std::string& path) {
  std::vector<std::string> tags;
  for (const std::string& line : Lines(RunExiftool("-a -G1 -s -n", path)))
    if (IsCompared(line)) tags.push_back(line);
  return tags;
}

// The output of exiftool run on several files, by file.
std::map<std::string, std::vector<std::string>> ByFile(const std::string& output) {
  std::map<std::string, std::vector<std::string>> files;
  std::string current;
  for (const std::string& line : Lines(output)) {
    if (line.starts_with("======== "))
      current = line.substr(9);
    else if (line.find(" files read") == std::string::npos && line.find(" file read") == std::string::npos)
      files[current].push_back(line);
  }
  return files;
}

std::vector<std::string> Orientations(const std::string& path) {
  return Lines(RunExiftool("-a -G1 -s -n -Orientation", path));
}

std::set<std::string> Warnings(const std::string& path) {
  std::set<std::string> warnings;
  for (const std::string& line : Lines(RunExiftool("-validate -warning -error -a -G1 -s", path)))
    if (line.find("Validate") == std::string::npos) warnings.insert(line);
  return warnings;
}

// Tags a camera and an organiser would leave, in the byte order asked for.
std::string CameraTags(bool bigEndian) {
  return std::string("-ExifByteOrder=") + (bigEndian ? "Big-endian" : "Little-endian") +
         " -Make=Canon -Model='EOS R5' -Software='fw 1.0' -ModifyDate='2024:05:06 07:08:09' -Artist='Jo Doe'"
         " -Copyright='(c) Jo' -ImageDescription=Lake -XResolution=300 -YResolution=300 -ResolutionUnit=inches"
         " -ExposureTime=1/250 -FNumber=5.6 -ISO=800 -DateTimeOriginal='2024:05:06 07:08:09' -FocalLength=50"
         " -LensModel=RF50mm -UserComment=hello -GPSLatitude=48.5 -GPSLatitudeRef=N -GPSLongitude=11.25"
         " -GPSLongitudeRef=E -GPSAltitude=520 -InteropIndex=R98 -Orientation#=6 -XMP-tiff:Orientation#=6"
         " -XMP-dc:Title=Lake -IPTC:Keywords=lake";
}

class Exiftool : public TTestFolder, public testing::Test {
protected:
  void SetUp() override {
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed (Debian package libimage-exiftool-perl)";
  }

  std::string Make(const std::string& name, const TBytes& bytes, const std::string& tags) {
    const std::string path = Write(name, bytes);
    int code = 0;
    const std::string output =
        RunCommand("exiftool -q -overwrite_original " + tags + " " + ShellQuote(path) + " 2>&1", &code);
    EXPECT_EQ(code, 0) << output;
    return path;
  }

  // Runs the tool and compares what exiftool sees before and after.
  void ExpectReset(const std::string& path, bool topLeft) {
    const std::vector<std::string> tags = OtherTags(path);
    const std::set<std::string> warnings = Warnings(path);
    ASSERT_NE(std::find(tags.begin(), tags.end(), "[IFD0]          Make                            : Canon"),
              tags.end());
    int code = 0;
    const std::string output =
        RunCommand(ShellQuote(Tool) + (topLeft ? " --top-left " : " --undefined ") + ShellQuote(path) + " 2>&1", &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(output, "");

    const std::vector<std::string> orientations = Orientations(path);
    if (topLeft) {
      EXPECT_EQ(orientations, (std::vector<std::string>{"[IFD0]          Orientation                     : 1",
                                                        "[XMP-tiff]      Orientation                     : 1"}));
    } else {
      EXPECT_TRUE(orientations.empty()) << orientations.front();
    }
    const std::vector<std::string> after = OtherTags(path);
    for (const std::string& tag : tags)
      EXPECT_NE(std::find(after.begin(), after.end(), tag), after.end()) << "lost: " << tag;
    for (const std::string& tag : after)
      EXPECT_NE(std::find(tags.begin(), tags.end(), tag), tags.end()) << "new: " << tag;
    for (const std::string& warning : Warnings(path)) EXPECT_TRUE(warnings.contains(warning)) << "new: " << warning;
  }
};

TEST_F(Exiftool, CameraJpegInBothByteOrdersWithThumbnail) {
  for (bool bigEndian : {false, true}) {
    for (bool topLeft : {true, false}) {
      const std::string thumb = Write("thumb.jpg", EncodeJpeg(160, 120, 80));
      const TBytes jpeg = EncodeJpeg(400, 300);
      const std::string path = Make("photo.jpg", jpeg, CameraTags(bigEndian) + " '-ThumbnailImage<=" + thumb + "'");
      const std::string thumbnail = RunExiftool("-b -ThumbnailImage", path);
      ExpectReset(path, topLeft);
      EXPECT_EQ(RunExiftool("-s3 -ExifByteOrder", path),
                bigEndian ? "Big-endian (Motorola, MM)\n" : "Little-endian (Intel, II)\n");
      EXPECT_EQ(RunExiftool("-b -ThumbnailImage", path), thumbnail);
      const TBytes out = ReadFile(path);
      EXPECT_TRUE(std::equal(jpeg.begin() + std::ptrdiff_t(ScanOffset(jpeg)), jpeg.end(),
                             out.begin() + std::ptrdiff_t(ScanOffset(out)), out.end()));
    }
  }
}

TEST_F(Exiftool, OversizedThumbnailIsReducedAndStaysValid) {
  // Larger than 61440 bytes, yet the whole block fits one segment.
  TBytes big;
  for (int width = 16; width < 400 && big.size() <= 61500; width += 2) big = EncodeJpeg(width, width * 3 / 4, 100);
  ASSERT_GT(big.size(), 61500u);
  ASSERT_LT(big.size(), 64500u);
  const std::string thumb = Write("thumb.jpg", big);
  const std::string path =
      Make("photo.jpg", EncodeJpeg(400, 300), "-Make=Canon -Orientation#=8 '-ThumbnailImage<=" + thumb + "'");
  ASSERT_EQ(RunExiftool("-s3 -ThumbnailLength", path), std::to_string(big.size()) + "\n");
  const std::set<std::string> warnings = Warnings(path);
  int code = 0;
  RunCommand(ShellQuote(Tool) + " --top-left " + ShellQuote(path), &code);
  EXPECT_EQ(code, 0);
  const std::string size =
      RunCommand("exiftool -b -ThumbnailImage " + ShellQuote(path) + " | exiftool -s3 -ImageSize -");
  EXPECT_EQ(size.substr(0, 4), "160x");
  for (const std::string& warning : Warnings(path)) EXPECT_TRUE(warnings.contains(warning)) << "new: " << warning;
}

TEST_F(Exiftool, TiffInBothByteOrdersKeepsItsTagsAndStrips) {
  for (bool bigEndian : {false, true}) {
    const std::string path = Make("scan.tif", GreyTiff(bigEndian), CameraTags(bigEndian));
    auto strips = [&] {
      const std::vector<std::string> values = Lines(RunExiftool("-s3 -n -StripOffsets -StripByteCounts", path));
      const TBytes file = ReadFile(path);
      TBytes data;
      std::istringstream offsets(values.at(0)), counts(values.at(1));
      for (size_t offset, count; offsets >> offset && counts >> count;)
        data.insert(data.end(), file.begin() + std::ptrdiff_t(offset), file.begin() + std::ptrdiff_t(offset + count));
      return data;
    };
    const TBytes pixels = strips();
    ASSERT_EQ(pixels.size(), 64u);
    ExpectReset(path, true);
    EXPECT_EQ(strips(), pixels);
  }
}

TEST_F(Exiftool, PhotoshopFileKeepsItsResourcesAndImageData) {
  for (bool topLeft : {true, false}) {
    const std::string path = Make("art.psd", Psd(PsdResource(1005, TBytes(16, 0))), CameraTags(true));
    ExpectReset(path, topLeft);
    const TBytes out = ReadFile(path);
    const TBytes image = PsdImageData();
    EXPECT_TRUE(std::equal(image.rbegin(), image.rend(), out.rbegin()));
  }
}

TEST_F(Exiftool, MakerNotesOfEveryMakerReadBackTagForTag) {
  // All files in each run of a tool; unknown tags included, as an unknown
  // maker's note is read as such.
  const std::vector<TMakerNoteSample> samples = MakerNoteSamples();
  std::string paths;
  for (const TMakerNoteSample& sample : samples)
    paths += " " + ShellQuote(Write(sample.Maker + ".jpg", MakerNoteJpeg(sample)));
  auto tags = [&] { return ByFile(RunCommand("exiftool -a -u -G1 -s -n" + paths + " 2>&1")); };
  auto warnings = [&] {
    std::map<std::string, std::set<std::string>> files;
    for (const auto& [path, lines] :
         ByFile(RunCommand("exiftool -validate -warning -error -a -G1 -s" + paths + " 2>&1")))
      for (const std::string& line : lines)
        if (line.find("Validate") == std::string::npos) files[path].insert(line);
    return files;
  };
  const auto makerNotes = ByFile(RunCommand("exiftool -a -u -s -MakerNotes:all" + paths + " 2>&1"));
  const auto before = tags();
  auto beforeWarnings = warnings();
  int code = 0;
  EXPECT_EQ(RunCommand(ShellQuote(Tool) + " --top-left" + paths + " 2>&1", &code), "");
  EXPECT_EQ(code, 0);
  const auto after = tags();
  auto afterWarnings = warnings();

  for (const TMakerNoteSample& sample : samples) {
    SCOPED_TRACE(sample.Maker);
    const std::string path = Path(sample.Maker + ".jpg");
    // A sub-directory's pointer is no tag of its own.
    const auto tagCount = size_t(std::count_if(sample.Entries.begin(), sample.Entries.end(),
                                               [](const TTiffBuilder::TEntry& entry) { return entry.Type != 13; }));
    ASSERT_EQ(makerNotes.contains(path) ? makerNotes.at(path).size() : 0, tagCount);
    std::vector<std::string> was, is, orientations;
    for (const std::string& line : before.at(path))
      if (IsCompared(line)) was.push_back(line);
    for (const std::string& line : after.at(path)) {
      if (IsCompared(line)) is.push_back(line);
      if (line.find("Orientation") != std::string::npos) orientations.push_back(line);
    }
    std::sort(was.begin(), was.end());
    std::sort(is.begin(), is.end());
    EXPECT_EQ(is, was);
    EXPECT_EQ(orientations, std::vector<std::string>{"[IFD0]          Orientation                     : 1"});
    for (const std::string& warning : afterWarnings[path])
      EXPECT_TRUE(beforeWarnings[path].contains(warning)) << "new: " << warning;
  }
}

}  // namespace
