// The image libraries' messages: quiet unless VELVANE_DEBUG asks for them.
#include "platform/freeimage_setup.h"

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

// A 1 x 1 grey TIFF whose directory holds the private tag 65000, which
// libtiff reports as an unknown field on every read.
std::vector<std::uint8_t> TiffWithUnknownTag() {
  std::vector<std::uint8_t> b{'I', 'I', 42, 0, 8, 0, 0, 0};
  auto u16 = [&b](unsigned v) { b.push_back(v & 0xFF), b.push_back(v >> 8 & 0xFF); };
  auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
  struct Entry {
    unsigned tag, type, value;
  };
  const unsigned dataOffset = 8 + 2 + 10 * 12 + 4;
  const Entry entries[] = {{256, 3, 1},          {257, 3, 1}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                           {273, 4, dataOffset}, {277, 3, 1}, {278, 3, 1}, {279, 4, 1}, {65000, 3, 7}};
  u16(10);
  for (const Entry& e : entries) {
    u16(e.tag), u16(e.type), u32(1);
    e.type == 3 ? (u16(e.value), u16(0)) : u32(e.value);
  }
  u32(0);
  b.push_back(0x80);
  return b;
}

class ImageLibraryMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/freeimage_setup_test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    dir = folder;
    tiff = dir + "/unknown-tag.tif";
    const std::vector<std::uint8_t> bytes = TiffWithUnknownTag();
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
    if (bitmap) FreeImage_Unload(bitmap);
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
