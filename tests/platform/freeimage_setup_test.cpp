// The image libraries' messages: quiet unless VELVANE_DEBUG asks for them.
#include "platform/freeimage_setup.h"
#include "platform/free_bitmap.h"
#include "support/tiff_bytes.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

class ImageLibraryMessagesTest : public ::testing::Test {
protected:
  void SetUp() override {
    char folder[] = "/tmp/freeimage_setup_test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    dir = folder;
    tiff = dir + "/unknown-tag.tif";
    const std::vector<std::uint8_t> bytes = testimg::TiffWithUnknownTag();
    std::ofstream(tiff, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    FreeImage_Initialise(FALSE);
  }
  void TearDown() override {
    FreeImage_DeInitialise();
    ::unsetenv("VELVANE_DEBUG");
    std::remove(tiff.c_str());
    std::remove((dir + "/stderr").c_str());
    ::rmdir(dir.c_str());
  }

  // What loading the file writes to stderr, or returns null for a file that
  // does not decode.
  std::string StderrOfLoad(FREE_IMAGE_FORMAT fif, const std::string& file, bool bDecodes) {
    const std::string log = dir + "/stderr";
    std::fflush(stderr);
    const int saved = ::dup(2);
    FILE* capture = std::fopen(log.c_str(), "w");
    ::dup2(::fileno(capture), 2);
    FIBITMAP* bitmap = FreeImage_Load(fif, file.c_str(), 0);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::fclose(capture);
    EXPECT_EQ(bitmap != nullptr, bDecodes);
    TFreeBitmap{bitmap}.Clear();
    std::ifstream in(log);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string StderrOfLoad() { return StderrOfLoad(FIF_TIFF, tiff, true); }

  std::string dir, tiff;
};

TEST_F(ImageLibraryMessagesTest, UnknownTagWarningsAreQuietUnlessDebugging) {
  // Without the handlers libtiff writes its warning straight to the terminal.
  const std::string before = StderrOfLoad();
  ASSERT_NE(before.find("65000"), std::string::npos) << "the crafted file must make libtiff warn: " << before;

  InstallImageLibraryMessageHandlers();
  EXPECT_EQ(StderrOfLoad(), "");

  ::setenv("VELVANE_DEBUG", "0", 1);
  EXPECT_FALSE(ImageLibraryDebugEnabled());
  EXPECT_EQ(StderrOfLoad(), "");

  ::setenv("VELVANE_DEBUG", "1", 1);
  EXPECT_TRUE(ImageLibraryDebugEnabled());
  const std::string debug = StderrOfLoad();
  EXPECT_NE(debug.find("libtiff warning: "), std::string::npos) << debug;
  EXPECT_NE(debug.find("65000"), std::string::npos) << debug;
}

TEST_F(ImageLibraryMessagesTest, FreeImagesOwnMessagesFollowTheSameSwitch) {
  InstallImageLibraryMessageHandlers();
  const std::string junk = dir + "/junk.png";
  std::ofstream(junk, std::ios::binary) << "\x89PNG\r\n\x1a\n-truncated";
  auto loadJunk = [&] { return StderrOfLoad(FIF_PNG, junk, false); };
  EXPECT_EQ(loadJunk(), "");
  ::setenv("VELVANE_DEBUG", "yes", 1);
  EXPECT_NE(loadJunk().find("FreeImage PNG: "), std::string::npos);
  std::remove(junk.c_str());
}

}  // namespace
