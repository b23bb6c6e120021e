// The orientation step of rotate and flip on what it meets: the EXIF
// thumbnail laid out as the picture now is, whatever orientation the file
// had, on the lossless and the re-encoding path, with IFD1's size tags
// following (exiftool reads the results); TIFF files as FreeImage writes
// them rebuilt, never refused.
#include "edit/exif/exif_data.h"
#include "edit/orient_picture.h"
#include "edit_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

class OrientThumbnail : public TTestFolder, public testing::Test {
protected:
  void SetUp() override {
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed (Debian package libimage-exiftool-perl)";
  }
};

const TOrientCommand Commands[] = {ocRotateLeft, ocRotateRight, ocFlipHorizontal, ocFlipVertical};

struct TTurnedFile {
  std::string Path;
  TOrientCommand Command;
  TPictureTransform Transform;  // what the command did to the stored pixels
  bool Lossless = false;
};

TDib Scaled(FIBITMAP* dib, unsigned width, unsigned height) {
  return TDib(FreeImage_Rescale(dib, int(width), int(height), FILTER_BILINEAR));
}

TEST_F(OrientThumbnail, FollowsThePictureAfterEachCommandInEveryOrientation) {
  // 64 x 48 turns losslessly every way; 70 x 50 leaves partial blocks, so
  // most of its turns are re-encoded.
  std::vector<TTurnedFile> files;
  for (const auto& [width, height] : {std::pair{64, 48}, std::pair{70, 50}}) {
    const TDib stored = Pattern(width, height);
    const TBytes jpeg = EncodeWithFreeImage(stored.get(), FIF_JPEG, JPEG_QUALITYSUPERB);
    const TDib small = Scaled(stored.get(), unsigned(width / 2), unsigned(height / 2));
    const TBytes thumbnail = EncodeWithFreeImage(small.get(), FIF_JPEG, JPEG_QUALITYSUPERB);
    for (int orientation = 1; orientation <= 8; ++orientation) {
      for (TOrientCommand command : Commands) {
        TExifData exif;
        exif.General().SetTag(TExifTag::MakeBytes(0x010F, tdAscii, reinterpret_cast<const uint8_t*>("Maker"), 6));
        exif.General().SetOrientation(TTiffOrientation(orientation));
        exif.SetThumbnail(thumbnail);
        exif[esThumbnail].SetTag(TExifTag::MakeShort(0x0100, uint16_t(width / 2)));
        exif[esThumbnail].SetTag(TExifTag::MakeLong(0x0101, uint32_t(height / 2)));
        exif[esThumbnail].SetTag(TExifTag::MakeShort(0x0112, uint16_t(orientation)));
        const std::string path = Write("p" + std::to_string(width) + "-o" + std::to_string(orientation) + "-c" +
                                           std::to_string(int(command)) + ".jpg",
                                       exif.SaveToBytes(jpeg));
        // As the viewer does: decoded upright, turned, written.
        const TOrientedResult result = OrientFile(path, command, true);
        ASSERT_TRUE(result.save.Ok()) << path << ": " << SaveFailureText(result.save);
        files.push_back(
            {path, command, Compose(ExifRotationTransform(orientation), CommandTransform(command)), result.lossless});
      }
    }
  }
  EXPECT_TRUE(std::any_of(files.begin(), files.end(), [](const TTurnedFile& f) { return f.Lossless; }));
  EXPECT_TRUE(std::any_of(files.begin(), files.end(), [](const TTurnedFile& f) { return !f.Lossless; }));

  // One exiftool run writes every thumbnail out, another lists IFD1.
  const std::string folder = ShellQuote(Path(""));
  RunCommand("exiftool -q -b -ThumbnailImage -w %d%f.thumb -ext jpg " + folder + " 2>&1");
  std::map<std::string, std::string> ifd1;
  std::istringstream table(
      RunCommand("exiftool -q -T -FileName -IFD1:ImageWidth -IFD1:ImageHeight "
                 "-IFD1:Orientation -IFD0:Orientation -n -ext jpg " +
                 folder + " 2>&1"));
  for (std::string line; std::getline(table, line);)
    ifd1[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);

  for (const TTurnedFile& file : files) {
    SCOPED_TRACE(file.Path);
    const TDib picture = DecodeFile(file.Path);
    const TDib thumbnail = DecodeFile(file.Path.substr(0, file.Path.size() - 4) + ".thumb");
    ASSERT_TRUE(picture && thumbnail);
    const unsigned width = FreeImage_GetWidth(picture.get()), height = FreeImage_GetHeight(picture.get());
    const unsigned thumbWidth = FreeImage_GetWidth(thumbnail.get()), thumbHeight = FreeImage_GetHeight(thumbnail.get());
    // The stored picture was turned; the thumbnail kept its scale.
    EXPECT_EQ(thumbWidth, width / 2);
    EXPECT_EQ(thumbHeight, height / 2);
    EXPECT_EQ(width == 64 || width == 70, !SwapsSides(file.Transform));
    // About 10 when right (scaling and two encodings apart), over 45 for any
    // other layout of the same size.
    EXPECT_LT(MeanDifference(thumbnail.get(), Scaled(picture.get(), thumbWidth, thumbHeight).get()), 20.0);
    // IFD1 describes it and shows it as IFD0 shows the picture: upright
    // after a turn, as stored after a flip.
    const std::string name = file.Path.substr(file.Path.rfind('/') + 1);
    EXPECT_EQ(ifd1[name], std::to_string(thumbWidth) + "\t" + std::to_string(thumbHeight) +
                              (IsRotation(file.Command) ? "\t1\t1" : "\t-\t-"));
  }
}

TEST(OrientTiff, EveryKindOfTiffFreeImageWritesIsRebuiltWithItsPixels) {
  // The rebuild checks strips against the picture's size; the files the
  // re-encoding path makes must pass, uncompressed and compressed.
  const TDib rgb = Pattern(37, 29);
  std::vector<std::pair<std::string, TDib>> pictures;
  pictures.emplace_back("1-bit", TDib(FreeImage_Threshold(rgb.get(), 128)));
  pictures.emplace_back("4-bit", TDib(FreeImage_ConvertTo4Bits(rgb.get())));
  pictures.emplace_back("grey", TDib(FreeImage_ConvertToGreyscale(rgb.get())));
  pictures.emplace_back("rgb", TDib(FreeImage_Clone(rgb.get())));
  pictures.emplace_back("rgba", TDib(FreeImage_ConvertTo32Bits(rgb.get())));
  pictures.emplace_back("rgb16", TDib(FreeImage_ConvertToType(rgb.get(), FIT_RGB16)));
  pictures.emplace_back("float", TDib(FreeImage_ConvertToType(pictures[2].second.get(), FIT_FLOAT)));
  for (const auto& [name, picture] : pictures) {
    ASSERT_NE(picture, nullptr) << name;
    for (int flags : {TIFF_NONE, TIFF_DEFAULT, TIFF_PACKBITS}) {
      SCOPED_TRACE(name + " flags " + std::to_string(flags));
      const TBytes file = EncodeWithFreeImage(picture.get(), FIF_TIFF, flags);
      ASSERT_FALSE(file.empty());
      TBytes out;
      ASSERT_NO_THROW(out = ApplyOrientationReset(file, ocRotateRight, ptRotate90).Join());
      EXPECT_EQ(ExifOrientation(out), 1);
      const TDib before = DecodeBytes(file), after = DecodeBytes(out);
      ASSERT_TRUE(after);
      EXPECT_EQ(FreeImage_GetBPP(after.get()), FreeImage_GetBPP(before.get()));
      EXPECT_EQ(FreeImage_GetLine(after.get()), FreeImage_GetLine(before.get()));
      for (unsigned y = 0; y < FreeImage_GetHeight(before.get()); ++y)
        ASSERT_TRUE(std::equal(FreeImage_GetScanLine(before.get(), int(y)),
                               FreeImage_GetScanLine(before.get(), int(y)) + FreeImage_GetLine(before.get()),
                               FreeImage_GetScanLine(after.get(), int(y))))
            << "row " << y;
    }
  }
}

}  // namespace
