// velvane-orient as a command: silent on success, "FILE: MESSAGE" on
// standard error for each failure, the other files still processed.
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"

#include <gtest/gtest.h>

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
  const TBytes tiffFile =
      b.Build({{{{0x0100, 3, 1, b.Short({1})}, {0x0101, 3, 1, b.Short({1})}, {0x0112, 3, 1, b.Short({6})},
                 {0x02BC, 1, uint32_t(packet.size()), packet}}}});
  const std::string tiff = Write("deep.tif", tiffFile);
  const std::string psd = Write("deep.psd", Psd(PsdResource(1060, packet)));
  const TBytes jpegPacket = Text(NestedXmp(9000));
  const std::string jpeg = Write("deep.jpg", InsertAfterSoi(EncodeJpeg(16, 16), Segment(0xE1, Concat({
      Text(std::string("http://ns.adobe.com/xap/1.0/\0", 29)), jpegPacket}))));
  const TBytes tiffBefore = ReadFile(tiff), psdBefore = ReadFile(psd), jpegBefore = ReadFile(jpeg);
  int code = 0;
  const std::string errors = Orient("--top-left " + ShellQuote(tiff) + " " + ShellQuote(psd) + " " + ShellQuote(jpeg), code);
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
                                        ShellQuote(truncated) + " " + ShellQuote(good), code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(errors, missing + ": Cannot open file \"" + missing + "\". No such file or directory\n" + png +
                        ": Unsupported graphic format\n" + truncated + ": Stream read error\n");
  TExifData exif;
  exif.LoadFromGraphic(good);
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
