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
