// Rotate, flip and Save over files of every kind a user has, each result
// judged by readers that share no code with the viewer: ImageMagick for
// frames, placement, delays, depth, colours and transparency; exiftool for
// tags; webpinfo for WebP. Files that a write cannot keep are left exactly
// as they were, with the reason.
#include "edit/jpeg_encoding.h"
#include "edit/save_picture.h"
#include "edit_test_support.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

namespace {

std::string Output(const std::string& command) { return RunCommand(command + " 2>&1"); }

// Frame by frame: canvas, size, offset, delay, disposal, depth, class and
// colour space, alpha.
std::string Frames(const std::string& path) {
  return Output("identify -format '%W x %H, %w x %h %X%Y, delay %T, dispose %D, %z-bit %r, alpha %A\\n' " +
                ShellQuote(path));
}

// Every colour with its count, frame after frame: a turn or a mirror
// changes none of it, a lost palette entry, depth or transparency does.
std::string Colours(const std::string& path) {
  return Output("convert " + ShellQuote(path) + " -format %c histogram:info:- | sort");
}

std::string Format(const std::string& path) { return Output("identify -format '%m\\n' " + ShellQuote(path + "[0]")); }

// The named tags as exiftool prints them (group, name, value).
std::string Tags(const std::string& path, const std::string& names) {
  return Output("exiftool -a -G1 -s -n " + names + " " + ShellQuote(path) + " | grep -v ExifTool");
}

// The lines of actual that differ from expected, and the expected ones, for
// a readable failure.
std::string Differences(const std::string& expected, const std::string& actual) {
  std::istringstream a(expected), b(actual);
  std::string out, x, y;
  while (true) {
    const bool moreA = bool(std::getline(a, x)), moreB = bool(std::getline(b, y));
    if (!moreA && !moreB) break;
    if (!moreA) x = "(none)";
    if (!moreB) y = "(none)";
    if (x != y) out += "\n  expected: " + x + "\n  found:    " + y;
  }
  return out;
}

// The sides of every "W x H" swapped, as a quarter turn leaves them.
std::string Turned(const std::string& frames) {
  std::string out;
  std::istringstream in(frames);
  for (std::string line; std::getline(in, line);) {
    unsigned w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "%u x %u, %u x %u%n", &w1, &h1, &w2, &h2, &used) == 4)
      line = std::to_string(h1) + " x " + std::to_string(w1) + ", " + std::to_string(h2) + " x " + std::to_string(w2) +
             line.substr(size_t(used));
    out += line + "\n";
  }
  return out;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TBytes SrgbProfile() {
  cmsHPROFILE profile = cmsCreate_sRGBProfile();
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  TBytes bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

// A two-colour picture, red and yellow, stored with one bit per pixel; the
// yellow transparent when asked.
TDib RedAndYellow(bool transparent) {
  TDib dib(FreeImage_Allocate(9, 5, 1));
  RGBQUAD* palette = FreeImage_GetPalette(dib.get());
  palette[0] = {0, 0, 255, 0};
  palette[1] = {0, 255, 255, 0};
  for (unsigned y = 0; y < 5; ++y)
    for (unsigned x = 0; x < 9; ++x) {
      BYTE index = (x < 3 && y < 2) ? 1 : 0;
      FreeImage_SetPixelIndex(dib.get(), x, y, &index);
    }
  if (transparent) {
    BYTE table[2] = {255, 0};
    FreeImage_SetTransparencyTable(dib.get(), table, 2);
  }
  return dib;
}

// 48-bit colour whose values need all 16 bits.
TDib Deep(int width, int height) {
  TDib dib(FreeImage_AllocateT(FIT_RGB16, width, height));
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(dib.get(), y));
    for (int x = 0; x < width; ++x) line[x] = {WORD(1000 + 997 * x), WORD(3001 + 613 * y), WORD(7 * x * y + 5)};
  }
  return dib;
}

enum TCommand { cmRotate, cmFlip, cmSave };
const char* const CommandNames[] = {"rotate", "flip", "save"};

class FaithfulWrite : public TTestFolder, public testing::Test {
public:
  void SetUp() override {
    bool tools = HaveExiftool();
    for (const char* tool : {"identify", "convert", "webpinfo", "cwebp", "img2webp"})
      tools = tools && !Output(std::string("command -v ") + tool).empty();
    if (!tools) GTEST_SKIP() << "needs exiftool, ImageMagick and the webp tools (scripts/setup-debian)";
    WriteFile(Path("srgb.icc"), SrgbProfile());
  }
  std::string Make(const std::string& name, FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags = 0) {
    EXPECT_TRUE(FreeImage_Save(fif, dib, Path(name).c_str(), flags)) << name;
    return Path(name);
  }
  std::string Shell(const std::string& name, const std::string& command) {
    int code = 0;
    const std::string output = RunCommand("cd " + ShellQuote(Path("")) + " && " + command + " 2>&1", &code);
    EXPECT_EQ(code, 0) << command << ": " << output;
    return Path(name);
  }
  // A fresh copy of source for one command.
  std::string Copy(const std::string& source, TCommand command) {
    const std::string copy = Path(CommandNames[command] + std::string("-") + source.substr(source.rfind('/') + 1));
    WriteFile(copy, ReadFile(source));
    return copy;
  }
  TSaveResult Apply(const std::string& path, TCommand command) {
    if (command == cmSave) return SaveFile(path, path, &checker);
    return OrientFile(path, command == cmRotate ? ocRotateRight : ocFlipHorizontal, true, nullptr, &checker).save;
  }
  TLocalChecker checker;
};

// What a command must leave of a file, as the readers see it before and after.
struct TKind {
  std::string name;
  std::function<std::string(FaithfulWrite&)> make;
  // The readers' view after rotate right, flip horizontal and Save, from the
  // view before; empty: unchanged.
  std::function<std::string(const std::string& before, TCommand)> expected = {};
  std::string tags = {};  // exiftool tags that every command keeps
  bool multiFrame = false;
  // Save writes the working image: 8 bits per channel for a deeper
  // picture, never with an alpha channel the file did not have.
  bool deep = false;
};

TEST_F(FaithfulWrite, EveryKindOfFileKeepsWhatItHeld) {
  const std::vector<TKind> kinds = {
      {"animated GIF",
       [](FaithfulWrite& t) {
         return t.Shell("anim.gif",
                        "convert -dispose Background -loop 3 -delay 20 -size 40x30 xc:red -delay 50 -page "
                        "40x30+5+7 -size 20x10 xc:blue -delay 70 -page +0+0 -size 40x30 xc:yellow anim.gif");
       },
       [](const std::string& before, TCommand command) {
         if (command == cmFlip) return ReplaceAll(before, "+5+7", "+15+7");
         // A quarter turn right: the 20 x 10 frame at 5,7 of the 40 x 30
         // screen lies at 13,5 of the 30 x 40 one.
         if (command == cmRotate) return ReplaceAll(Turned(before), "10 x 20 +5+7", "10 x 20 +13+5");
         return before;
       },
       "", true},
      {"three-page TIFF",
       [](FaithfulWrite& t) {
         return t.Shell("pages.tif",
                        "convert -depth 8 -size 32x24 xc:red -size 16x12 xc:green -size 8x8 xc:blue pages.tif");
       },
       {},
       "",
       true},
      {"16-bit PNG",
       [](FaithfulWrite& t) { return t.Make("deep.png", Deep(40, 30).get(), FIF_PNG); },
       {},
       "",
       false,
       true},
      {"16-bit TIFF",
       [](FaithfulWrite& t) { return t.Make("deep.tif", Deep(40, 30).get(), FIF_TIFF); },
       {},
       "",
       false,
       true},
      {"1-bit GIF", [](FaithfulWrite& t) { return t.Make("ry.gif", RedAndYellow(false).get(), FIF_GIF); }},
      {"1-bit GIF with transparency",
       [](FaithfulWrite& t) { return t.Make("ryt.gif", RedAndYellow(true).get(), FIF_GIF); }},
      {"1-bit PNG", [](FaithfulWrite& t) { return t.Make("ry.png", RedAndYellow(false).get(), FIF_PNG); }},
      {"1-bit PNG with transparency",
       [](FaithfulWrite& t) { return t.Make("ryt.png", RedAndYellow(true).get(), FIF_PNG); }},
      {"TIFF with EXIF, GPS, IPTC, XMP and a profile",
       [](FaithfulWrite& t) {
         t.Make("tagged.tif", Pattern(40, 30).get(), FIF_TIFF);
         return t.Shell("tagged.tif",
                        "exiftool -q -overwrite_original -Make=Nikon -Model=D750 -Artist='Jo Doe' "
                        "-DateTimeOriginal='2024:05:06 07:08:09' -ExposureTime=1/250 -GPSLatitude=48.5 "
                        "-GPSLatitudeRef=N -IPTC:Keywords=lake -XMP-dc:Title=Lake '-ICC_Profile<=srgb.icc' tagged.tif");
       },
       {},
       "-IFD0:Make -IFD0:Model -IFD0:Artist -ExifIFD:DateTimeOriginal -ExifIFD:ExposureTime -GPS:GPSLatitude "
       "-IPTC:Keywords -XMP-dc:Title -ICC_Profile:ProfileDescription"},
      {"lossless WebP with EXIF",
       [](FaithfulWrite& t) {
         t.Make("source.png", Pattern(40, 30).get(), FIF_PNG);
         return t.Shell("lossless.webp",
                        "cwebp -quiet -lossless source.png -o lossless.webp && exiftool -q -overwrite_original "
                        "-Make=Canon -Artist='Jo Doe' lossless.webp");
       },
       {},
       "-IFD0:Make -IFD0:Artist"},
      {"grey PNG with alpha",
       [](FaithfulWrite& t) {
         return t.Shell(
             "ga.png",
             "convert -size 40x30 gradient:black-white \\( -size 40x30 gradient:white-black \\) -alpha off "
             "-compose CopyOpacity -composite -define png:color-type=4 -depth 8 -background 'gray(40%)' ga.png");
       },
       {},
       "-PNG:BackgroundColor"},
      {"16-bit grey PNG with alpha",
       [](FaithfulWrite& t) {
         return t.Shell(
             "ga16.png",
             "convert -size 40x30 gradient:black-white \\( -size 40x30 gradient:white-black \\) -alpha off "
             "-compose CopyOpacity -composite -define png:color-type=4 -depth 16 -background 'gray(40%)' ga16.png");
       },
       {},
       "-PNG:BackgroundColor",
       false,
       true},
      {"PNG named .jpg", [](FaithfulWrite& t) { return t.Make("png.jpg", Pattern(40, 30).get(), FIF_PNG); }},
      {"ICO of two sizes",
       [](FaithfulWrite& t) {
         return t.Shell("icon.ico", "convert -size 32x32 gradient:red-blue -size 16x16 gradient:yellow-green icon.ico");
       },
       {},
       "",
       true},
  };
  // Save keeps the rule that the name's extension names the format.
  const std::string savedAsJpeg = "PNG named .jpg";
  for (const TKind& kind : kinds) {
    const std::string source = kind.make(*this);
    const std::string frames = Frames(source), colours = Colours(source), format = Format(source);
    const std::string tags = kind.tags.empty() ? std::string() : Tags(source, kind.tags);
    for (TCommand command : {cmRotate, cmFlip, cmSave}) {
      const std::string where = kind.name + ", " + CommandNames[command];
      const std::string path = Copy(source, command);
      const TSaveResult result = Apply(path, command);
      if (kind.multiFrame && command == cmSave) {
        // One edited picture would replace them all.
        const size_t count = size_t(std::count(frames.begin(), frames.end(), '\n'));
        EXPECT_EQ(SaveFailureText(result), "the file holds " + std::to_string(count) + " pictures") << where;
        EXPECT_EQ(ReadFile(path), ReadFile(source)) << where;
        continue;
      }
      ASSERT_TRUE(result.Ok()) << where << ": " << SaveFailureText(result);
      if (command == cmSave && (kind.deep || kind.name == savedAsJpeg)) {
        EXPECT_EQ(Format(path), kind.deep ? format : "JPEG\n") << where;
        EXPECT_EQ(Differences(ReplaceAll(frames, "16-bit", "8-bit"), Frames(path)), "") << where;
        continue;
      }
      EXPECT_EQ(Format(path), format) << where;
      const std::string expected = kind.expected         ? kind.expected(frames, command)
                                   : command == cmRotate ? Turned(frames)
                                                         : frames;
      EXPECT_EQ(Differences(expected, Frames(path)), "") << where;
      EXPECT_EQ(Colours(path) == colours, true) << where << ": other colours" << Differences(colours, Colours(path));
      if (!tags.empty()) {
        EXPECT_EQ(Differences(tags, Tags(path, kind.tags)), "") << where;
      }
      if (format.starts_with("GIF")) {
        // How often an animation plays.
        const auto loops = [](const std::string& file) {
          return Output("identify -verbose " + ShellQuote(file) + " | grep -m1 Iterations");
        };
        EXPECT_EQ(loops(path), loops(source)) << where;
      }
      if (format.starts_with("WEBP")) {
        const std::string info = Output("webpinfo " + ShellQuote(path));
        EXPECT_NE(info.find("Format: Lossless"), std::string::npos) << where << info;
        EXPECT_NE(info.find("No error detected"), std::string::npos) << where << info;
      }
    }
  }
  EXPECT_GT(checker.Checks, 0u);
}

// A TIFF file keeps the compression it had, as ImageMagick reads it; a
// JPEG-compressed one is written losslessly rather than coded again.
TEST_F(FaithfulWrite, TiffFilesKeepTheirCompression) {
  const std::string gradient = "convert -size 40x30 gradient:red-blue ";
  const struct {
    std::string name, make, after = {};  // after: empty when the compression stays
  } files[] = {
      {"none.tif", gradient + "-compress None none.tif"},
      {"zip.tif", gradient + "-compress Zip zip.tif"},
      {"packbits.tif", gradient + "-compress RLE packbits.tif"},
      {"lzw.tif", gradient + "-compress LZW lzw.tif"},
      {"fax.tif", "convert -size 40x30 pattern:checkerboard -monochrome -compress Group4 fax.tif"},
      {"pages.tif", "convert -size 32x24 xc:red -size 16x12 xc:green -compress None pages.tif"},
      {"jpeg.tif", gradient + "-compress JPEG jpeg.tif", "LZW\n"},
  };
  const auto compression = [](const std::string& path) {
    return Output("identify -format '%C\\n' " + ShellQuote(path));
  };
  for (const auto& file : files) {
    const std::string source = Shell(file.name, file.make);
    const std::string before = compression(source);
    ASSERT_FALSE(before.empty()) << file.name;
    for (TCommand command : {cmRotate, cmFlip, cmSave}) {
      const std::string where = file.name + ", " + CommandNames[command];
      const std::string path = Copy(source, command);
      const TSaveResult result = Apply(path, command);
      if (file.name == "pages.tif" && command == cmSave) continue;  // refused: one picture would replace two
      ASSERT_TRUE(result.Ok()) << where << ": " << SaveFailureText(result);
      const std::string after = compression(path);
      EXPECT_EQ(after, file.after.empty() ? before : file.after) << where;
    }
  }
}

// Animations and layers that FreeImage reads as one picture: turning it
// would drop the others, so nothing is written; a flat Photoshop file is
// turned.
TEST_F(FaithfulWrite, AnimationsAndLayersAreNotReplacedByOnePicture) {
  const TBytes png = EncodeWithFreeImage(Pattern(8, 8).get(), FIF_PNG);
  TBytes actl = {0, 0, 0, 8, 'a', 'c', 'T', 'L', 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0};
  TBytes animated(png.begin(), png.begin() + 33);
  animated = Concat({animated, actl, TBytes(png.begin() + 33, png.end())});
  const std::string apng = Write("moving.png", animated);
  Make("a.png", Pattern(8, 8).get(), FIF_PNG);
  TDib other = Pattern(8, 8);
  FreeImage_Invert(other.get());
  Make("b.png", other.get(), FIF_PNG);
  const std::string webp = Shell("moving.webp", "img2webp -loop 0 a.png b.png -o moving.webp");
  for (const std::string& path : {apng, webp}) {
    const TBytes before = ReadFile(path);
    const TOrientedResult result = OrientFile(path, ocRotateLeft, true, nullptr, &checker);
    EXPECT_EQ(result.save.Failure, TSaveFailure::TooManyPictures) << path;
    EXPECT_TRUE(TurnsOnScreenOnly(result.save)) << path;
    EXPECT_EQ(result.save.Pictures, path == apng ? 3u : 2u) << path;
    EXPECT_EQ(ReadFile(path), before) << path;
  }
  const std::string layered =
      Shell("layered.psd", "convert -size 20x10 xc:red xc:blue -size 10x5 xc:green layered.psd");
  const TBytes before = ReadFile(layered);
  TOrientedResult result = OrientFile(layered, ocRotateLeft, true, nullptr, &checker);
  EXPECT_EQ(SaveFailureText(result.save), "the file holds 2 layers");
  EXPECT_TRUE(TurnsOnScreenOnly(result.save));
  EXPECT_EQ(ReadFile(layered), before);
  EXPECT_EQ(SaveFailureText(SaveFile(layered, layered, &checker)), "the file holds 2 layers");
  const std::string flat = Make("flat.psd", Pattern(20, 10).get(), FIF_PSD);
  result = OrientFile(flat, ocRotateLeft, true, nullptr, &checker);
  EXPECT_TRUE(result.save.Ok()) << SaveFailureText(result.save);
  EXPECT_EQ(FreeImage_GetWidth(DecodeFile(flat).get()), 10u);
}

// A camera JPEG with a profile, tags in every model and a comment, at a
// size that is no whole number of blocks: most turns and mirrors must be
// re-encoded, from any orientation, and keep the quality, the subsampling,
// the profile and every segment; so does Save, and a resize saved leaves the
// EXIF pixel dimensions at the new size. The readers run once over all the
// files.
TEST_F(FaithfulWrite, JpegsKeepProfileQualitySubsamplingAndEverySegment) {
  const std::string base = Shell("base.jpg",
                                 "convert -size 70x50 gradient:red-blue -fill yellow -draw 'rectangle 5,5 30,20' "
                                 "-quality 92 -sampling-factor 1x1 -profile srgb.icc -set comment 'a comment' base.jpg "
                                 "&& exiftool -q -overwrite_original -Make=Canon -Model='EOS R5' -ISO=800 "
                                 "-GPSLatitude=48.5 -GPSLatitudeRef=N -ExifImageWidth=70 -ExifImageHeight=50 "
                                 "-XMP-dc:Title=Lake -IPTC:Keywords=lake base.jpg");
  std::string orientations;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const std::string source = Path("o" + std::to_string(orientation) + ".jpg");
    WriteFile(source, ReadFile(base));
    orientations += "-Orientation#=" + std::to_string(orientation) + "\n" + source + "\n-execute\n";
  }
  WriteFile(Path("orientations.args"), Text(orientations));
  Shell("", "exiftool -q -overwrite_original -@ orientations.args");

  // Where the orientation and the command cancel out to a transform that
  // needs no partial block moved, the blocks are moved instead.
  int reencoded = 0;
  std::vector<std::string> written;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const std::string source = Path("o" + std::to_string(orientation) + ".jpg");
    const TDib shown = DecodeFile(source, JPEG_EXIFROTATE);
    for (TCommand command : {cmRotate, cmFlip}) {
      const std::string where = std::to_string(orientation) + " " + CommandNames[command];
      const std::string path = Copy(source, command);
      const TOrientedResult result =
          OrientFile(path, command == cmRotate ? ocRotateRight : ocFlipHorizontal, true, nullptr, &checker);
      ASSERT_TRUE(result.save.Ok()) << where << ": " << SaveFailureText(result.save);
      reencoded += !result.lossless;
      written.push_back(path);
      EXPECT_EQ(ExifOrientation(ReadFile(path)), command == cmRotate ? 1 : 0) << where;
      const TDib expected = Transformed(shown.get(), command == cmRotate ? ptRotate90 : ptFlipHorizontal);
      EXPECT_LT(MeanDifference(DecodeFile(path, JPEG_EXIFROTATE).get(), expected.get()), 3.0) << where;
    }
  }
  EXPECT_GE(reencoded, 12);
  const std::string saved = Copy(Path("o6.jpg"), cmSave);
  ASSERT_TRUE(SaveFile(saved, saved, &checker).Ok());
  EXPECT_EQ(ExifOrientation(ReadFile(saved)), 1);  // saved upright as shown
  written.push_back(saved);

  std::string files = ShellQuote(base);
  for (const std::string& path : written) files += " " + ShellQuote(path);
  const std::string kept =
      "-ICC_Profile:ProfileDescription -IFD0:Make -IFD0:Model -ExifIFD:ISO -GPS:GPSLatitude "
      "-XMP-dc:Title -IPTC:Keywords -File:Comment";
  std::istringstream tags(Output("exiftool -a -G1 -s -n " + kept + " " + files)),
      encodings(Output("identify -format '%Q %[jpeg:sampling-factor]\\n' " + files));
  // Per file: a "========" line, then the tags.
  std::vector<std::string> byFile;
  for (std::string line; std::getline(tags, line);) {
    if (line.starts_with("========"))
      byFile.emplace_back();
    else if (!byFile.empty() && line.find("files read") == std::string::npos)
      byFile.back() += line + "\n";
  }
  ASSERT_EQ(byFile.size(), written.size() + 1);
  std::string encoding;
  std::getline(encodings, encoding);
  ASSERT_EQ(encoding, "92 1x1,1x1,1x1");
  for (size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(Differences(byFile[0], byFile[i + 1]), "") << written[i];
    std::getline(encodings, encoding);
    EXPECT_EQ(encoding, "92 1x1,1x1,1x1") << written[i];
  }

  for (const std::string& name : {std::string("resized.jpg"), std::string("resized.tif")}) {
    const std::string path = Path(name);
    if (name.ends_with(".jpg")) {
      WriteFile(path, ReadFile(base));
    } else {
      Make(name, Pattern(70, 50).get(), FIF_TIFF);
      Output("exiftool -q -overwrite_original -ExifImageWidth=70 -ExifImageHeight=50 -ISO=800 " + ShellQuote(path));
    }
    const TSaveResult result = SaveFile(path, path, &checker, [](TDib& working) {
      working.reset(FreeImage_Rescale(working.get(), 35, 25, FILTER_BILINEAR));
    });
    ASSERT_TRUE(result.Ok()) << name << ": " << SaveFailureText(result);
    EXPECT_EQ(Tags(path, "-ExifIFD:ExifImageWidth -ExifIFD:ExifImageHeight -ExifIFD:ISO"),
              "[ExifIFD]       ExifImageWidth                  : 35\n"
              "[ExifIFD]       ExifImageHeight                 : 25\n"
              "[ExifIFD]       ISO                             : 800\n")
        << name;
    // A quarter turn swaps them.
    ASSERT_TRUE(OrientFile(path, ocRotateLeft, true, nullptr, &checker).save.Ok()) << name;
    EXPECT_EQ(Tags(path, "-ExifIFD:ExifImageWidth -ExifIFD:ExifImageHeight"),
              "[ExifIFD]       ExifImageWidth                  : 25\n"
              "[ExifIFD]       ExifImageHeight                 : 35\n")
        << name;
  }
}

}  // namespace
