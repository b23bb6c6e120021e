// The pieces a faithful write is made of, on small crafted inputs: the JPEG
// quality read from its tables, the segments carried into a re-encode, PNG
// and WebP chunks, and the comparison of a new file with what was meant.
// Damaged input leaves the bytes as they were.
#include "decoder/tiff_directory.h"
#include "edit/cmyk_picture.h"
#include "edit/container_chunks.h"
#include "edit/exif/exif_errors.h"
#include "edit/icc_profile.h"
#include "edit/jpeg_encoding.h"
#include "edit/picture_facts.h"
#include "edit_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

TBytes Chunk(const std::string& type, const TBytes& data, bool littleEndianSize) {
  TBytes chunk;
  const uint32_t n = uint32_t(data.size());
  if (littleEndianSize) {
    chunk = Text(type);
    for (int i = 0; i < 4; ++i) chunk.push_back(uint8_t(n >> (8 * i)));
  } else {
    for (int i = 3; i >= 0; --i) chunk.push_back(uint8_t(n >> (8 * i)));
    chunk = Concat({chunk, Text(type)});
  }
  chunk = Concat({chunk, data});
  if (!littleEndianSize)
    chunk = Concat({chunk, TBytes(4, 0)});  // a CRC nobody here reads
  else if (data.size() & 1)
    chunk.push_back(0);
  return chunk;
}

TBytes Riff(const TBytes& chunks) {
  TBytes riff = Text("RIFF");
  const uint32_t n = uint32_t(chunks.size() + 4);
  for (int i = 0; i < 4; ++i) riff.push_back(uint8_t(n >> (8 * i)));
  return Concat({riff, Text("WEBP"), chunks});
}

TEST(JpegEncoding, QualitySubsamplingAndProgressionAreReadFromTheFile) {
  const TDib picture = Pattern(48, 32);
  for (int quality : {40, 75, 85, 92, 100})
    for (int subsampling : {JPEG_SUBSAMPLING_420, JPEG_SUBSAMPLING_422, JPEG_SUBSAMPLING_444}) {
      const TJpegEncoding found = ReadJpegEncoding(EncodeWithFreeImage(picture.get(), FIF_JPEG, quality | subsampling));
      EXPECT_EQ(found.Quality, quality) << quality << " " << subsampling;
      EXPECT_EQ(found.Subsampling, subsampling) << quality << " " << subsampling;
      EXPECT_FALSE(found.Progressive);
    }
  EXPECT_TRUE(ReadJpegEncoding(EncodeWithFreeImage(picture.get(), FIF_JPEG, 80 | JPEG_PROGRESSIVE)).Progressive);
  TDib grey(FreeImage_ConvertToGreyscale(picture.get()));
  const TJpegEncoding greyFound = ReadJpegEncoding(EncodeWithFreeImage(grey.get(), FIF_JPEG, 70));
  EXPECT_EQ(greyFound.Quality, 70);
  EXPECT_EQ(greyFound.Subsampling, 0);

  // A table finer than libjpeg's at 90 in one place: only a higher quality
  // quantises no coarser anywhere.
  TBytes jpeg = EncodeWithFreeImage(picture.get(), FIF_JPEG, 90);
  const size_t dqt = ScanOffset(jpeg);  // past every table
  size_t table = 2;
  while (!(jpeg[table] == 0xFF && jpeg[table + 1] == 0xDB) && table < dqt) ++table;
  jpeg[table + 5 + 63] = 1;  // the last luminance entry made the finest there is
  EXPECT_GT(ReadJpegEncoding(jpeg).Quality, 90);

  // Tables cut short or missing: nothing is known, and nothing breaks.
  EXPECT_EQ(ReadJpegEncoding(TBytes(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(table + 20))).Quality, 0);
  EXPECT_EQ(ReadJpegEncoding(Text("not a jpeg")).Quality, 0);
  EXPECT_EQ(JpegSaveFlags({92, JPEG_SUBSAMPLING_444, true}),
            92 | JPEG_SUBSAMPLING_444 | JPEG_PROGRESSIVE | JPEG_BASELINE);
}

TEST(JpegEncoding, AReEncodeCarriesEveryMetadataSegmentButAdobes) {
  const TBytes segments =
      Concat({Segment(0xE1, Text("Exif-ish")), Segment(0xE2, Text("ICC_PROFILE")), Segment(0xED, Text("Photoshop 3.0")),
              Segment(0xEE, Text("Adobe")), Segment(0xFE, Text("a comment"))});
  const TBytes source = InsertAfterSoi(EncodeJpeg(16, 16, 80), segments);
  const TBytes encoded = EncodeWithFreeImage(Pattern(24, 16).get(), FIF_JPEG, 90 | JPEG_BASELINE);
  const std::vector<uint8_t> out = WithSourceSegments(source, encoded, {});
  for (const auto& [marker, prefix] :
       {std::pair{0xE0, "JFIF"}, std::pair{0xE1, "Exif-ish"}, std::pair{0xE2, "ICC_PROFILE"},
        std::pair{0xED, "Photoshop 3.0"}, std::pair{0xFE, "a comment"}})
    EXPECT_TRUE(HasSegment(out, uint8_t(marker), prefix)) << prefix;
  EXPECT_FALSE(HasSegment(out, 0xEE, "Adobe"));
  EXPECT_EQ(ScanData(out), ScanData(encoded));
  EXPECT_EQ(FreeImage_GetWidth(DecodeBytes(out).get()), 24u);
  // A source whose segments run past its end is refused, not read past.
  const TBytes cut(source.begin(), source.begin() + 30);
  EXPECT_THROW(WithSourceSegments(cut, encoded, {}), EExifError);
}

// The data of each segment with this marker before the scan.
std::vector<TBytes> SegmentsOf(const TBytes& jpeg, uint8_t marker) {
  std::vector<TBytes> found;
  for (size_t pos = 2; pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA;) {
    const size_t length = size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3];
    if (jpeg[pos + 1] == marker)
      found.emplace_back(jpeg.begin() + std::ptrdiff_t(pos + 4), jpeg.begin() + std::ptrdiff_t(pos + 2 + length));
    pos += 2 + length;
  }
  return found;
}

// Smooth inks, each channel its own ramp, flagged and profiled as CMYK.
TDib CmykPicture(const std::vector<unsigned char>& profile) {
  TDib inks(FreeImage_Allocate(40, 24, 32));
  for (unsigned y = 0; y < 24; ++y) {
    BYTE* p = FreeImage_GetScanLine(inks.get(), int(y));
    for (unsigned x = 0; x < 40; ++x, p += 4) {
      p[0] = BYTE(x * 6), p[1] = BYTE(y * 10), p[2] = BYTE(255 - x * 6), p[3] = BYTE((x + y) * 3);
    }
  }
  FreeImage_CreateICCProfile(inks.get(), const_cast<unsigned char*>(profile.data()), long(profile.size()))->flags |=
      FIICC_COLOR_IS_CMYK;
  return inks;
}

// The same inks at 16 bits each, in file order as the decoders lay them.
TDib DeepCmykPicture(FIBITMAP* inks, const std::vector<unsigned char>& profile) {
  const unsigned width = FreeImage_GetWidth(inks), height = FreeImage_GetHeight(inks);
  TDib deep(FreeImage_AllocateT(FIT_RGBA16, int(width), int(height)));
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* from = FreeImage_GetScanLine(inks, int(y));
    auto* to = reinterpret_cast<WORD*>(FreeImage_GetScanLine(deep.get(), int(y)));
    for (unsigned i = 0; i < width * 4; ++i) to[i] = WORD(from[i] * 257);
  }
  FreeImage_CreateICCProfile(deep.get(), const_cast<unsigned char*>(profile.data()), long(profile.size()))->flags |=
      FIICC_COLOR_IS_CMYK;
  return deep;
}

double MeanByteDifference(FIBITMAP* a, FIBITMAP* b) {
  double sum = 0;
  const unsigned width = FreeImage_GetWidth(a), height = FreeImage_GetHeight(a);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned i = 0; i < width * 4; ++i)
      sum += std::abs(int(FreeImage_GetScanLine(a, int(y))[i]) - int(FreeImage_GetScanLine(b, int(y))[i]));
  return sum / (width * height * 4);
}

// A CMYK re-encode stores the inks Adobe's way, marked so by one Adobe
// segment of its own, drops the source's JFIF marker (which cannot describe
// inks) and carries the picture's profile (three segments' worth) in place
// of the source's, with the source's other segments, quality and
// subsampling.
TEST(JpegEncoding, ACmykPictureIsWrittenAsItsInksWithItsOwnProfile) {
  const std::vector<unsigned char>& profile = StandardCmykProfile();
  ASSERT_GT(profile.size(), 2u * 65519) << "a standard CMYK profile of three segments (libgs-common)";
  const TDib inks = CmykPicture(profile);
  ASSERT_TRUE(IsCmykPicture(inks.get()));
  const TBytes oldProfile = Concat({Text("ICC_PROFILE"), TBytes{0, 1, 1}, Text("the source's")});
  const TBytes source = InsertAfterSoi(
      EncodeJpeg(16, 16, 80),
      Concat({Segment(0xE1, Text("Exif-ish")), Segment(0xE2, oldProfile), Segment(0xEE, Text("Adobe, the source's"))}));
  std::vector<uint8_t> stream;
  ASSERT_TRUE(EncodeCmykJpeg(inks.get(), 92 | JPEG_SUBSAMPLING_444 | JPEG_BASELINE, stream));
  const TBytes out = WithSourceSegments(source, stream, IccProfileBytes(inks.get()));

  EXPECT_TRUE(HasSegment(out, 0xE1, "Exif-ish"));
  EXPECT_FALSE(HasSegment(out, 0xE0, "JFIF"));
  const std::vector<TBytes> adobe = SegmentsOf(out, 0xEE);
  ASSERT_EQ(adobe.size(), 1u);
  ASSERT_GE(adobe[0].size(), 12u);
  EXPECT_EQ(adobe[0][11], 2) << "YCCK";
  EXPECT_EQ(SegmentsOf(out, 0xE2).size(), 3u);
  const TJpegEncoding encoding = ReadJpegEncoding(out);
  EXPECT_EQ(encoding.Quality, 92);
  EXPECT_EQ(encoding.Subsampling, JPEG_SUBSAMPLING_444);

  const TDib decoded = DecodeBytes(out, JPEG_CMYK);
  ASSERT_TRUE(decoded);
  ASSERT_TRUE(IsCmykPicture(decoded.get()));
  EXPECT_TRUE(std::ranges::equal(IccProfileBytes(decoded.get()), profile));
  EXPECT_LT(MeanByteDifference(decoded.get(), inks.get()), 2.0) << "the inks, not their inverse or another order";

  // Written for another file, it takes its metadata from the picture; 16
  // bits an ink become 8.
  const TDib deep = DeepCmykPicture(inks.get(), profile);
  ASSERT_TRUE(EncodeCmykJpeg(deep.get(), 95 | JPEG_SUBSAMPLING_444, stream));
  const TDib fromDeep = DecodeBytes(stream, JPEG_CMYK);
  ASSERT_TRUE(fromDeep && IsCmykPicture(fromDeep.get()));
  EXPECT_TRUE(std::ranges::equal(IccProfileBytes(fromDeep.get()), profile));
  EXPECT_LT(MeanByteDifference(fromDeep.get(), inks.get()), 2.0);

  EXPECT_FALSE(EncodeCmykJpeg(Pattern(8, 8).get(), 90, stream)) << "not a CMYK picture";
}

// The profile of a TIFF directory, read from the file itself: the one asked
// for, never past the file's end, and a looping chain read once.
TEST(TiffProfile, IsReadFromTheDirectoryAskedForAndNeverPastTheFile) {
  const TTiffBuilder tiff;
  const TBytes first = Text("the first page's colour profile"), second = Text("the second page's profile");
  const TTiffBuilder::TEntry width{256, 3, 1, tiff.Short({8})};
  const auto icc = [](const TBytes& profile) {
    return TTiffBuilder::TEntry{0x8773, 7, uint32_t(profile.size()), profile};
  };
  // Page 0 points to an EXIF directory (2) and leads to page 1.
  const TBytes file = tiff.Build({{{width, {0x8769, 4, 1, tiff.Long({0})}, icc(first)}},
                                  {{width, icc(second)}},
                                  {{{0x8827, 3, 1, tiff.Short({400})}}}},
                                 2, {{0, 1, 2}});
  EXPECT_EQ(decoder::TiffIccProfile(file, 0), first);
  EXPECT_EQ(decoder::TiffIccProfile(file, 1), second);
  EXPECT_TRUE(decoder::TiffIccProfile(file, 2).empty());
  const decoder::TReadAt read = [&file](std::uint64_t offset, void* out, std::size_t size) {
    if (offset > file.size() || size > file.size() - offset) return false;
    std::memcpy(out, file.data() + offset, size);
    return true;
  };
  const decoder::TTiffDirectoryFacts facts = decoder::ReadTiffDirectoryFacts(read, file.size(), 0);
  EXPECT_TRUE(facts.ExifDirectory);
  ASSERT_EQ(facts.CountSize, 4u);
  EXPECT_EQ(tiff.Get32(file, size_t(facts.CountOffset)), first.size()) << "the count the decoder is kept from";
  EXPECT_FALSE(decoder::ReadTiffDirectoryFacts(read, file.size(), 1).ExifDirectory);

  const auto changed = [&](size_t at, uint32_t value) {
    TBytes copy = file;
    tiff.Put32(copy, at, value);
    return copy;
  };
  const size_t count = size_t(facts.CountOffset);
  EXPECT_TRUE(decoder::TiffIccProfile(changed(count, uint32_t(file.size())), 0).empty()) << "longer than the file";
  EXPECT_TRUE(decoder::TiffIccProfile(changed(count + 4, uint32_t(file.size() - 4)), 0).empty()) << "runs off the end";
  EXPECT_TRUE(decoder::TiffIccProfile(changed(count, 0xFFFFFFFF), 0).empty());
  TBytes many = file;
  tiff.Put16(many, tiff.Get32(file, 4), 0xFFFF);
  EXPECT_TRUE(decoder::TiffIccProfile(many, 0).empty()) << "more entries than the file holds";
  // Page 1 leads back to page 0: a page far down the chain is not there.
  const size_t page1 = tiff.Get32(file, size_t(tiff.Get32(file, 4)) + 2 + 12 * 3);
  const TBytes looping = changed(page1 + 2 + 12 * 2, tiff.Get32(file, 4));
  EXPECT_EQ(decoder::TiffIccProfile(looping, 1), second);
  EXPECT_TRUE(decoder::TiffIccProfile(looping, 4000000000u).empty());
  EXPECT_TRUE(decoder::TiffIccProfile(TBytes(file.begin(), file.begin() + 20), 0).empty());
  EXPECT_TRUE(decoder::TiffIccProfile(Text("not a TIFF file"), 0).empty());
}

TEST(ContainerChunks, PngFramesAndCarriedChunks) {
  const TBytes png = EncodeWithFreeImage(Pattern(8, 8).get(), FIF_PNG);
  EXPECT_EQ(PngFrameCount(png), 1u);
  // acTL after IHDR: an animation of 3 frames.
  const TBytes ihdr(png.begin(), png.begin() + 33), rest(png.begin() + 33, png.end());
  EXPECT_EQ(PngFrameCount(Concat({ihdr, Chunk("acTL", {0, 0, 0, 3, 0, 0, 0, 0}, false), rest})), 3u);

  const TBytes source = Concat({ihdr, Chunk("gAMA", {0, 0, 0xB1, 0x8F}, false), Chunk("eXIf", Text("II*\0"), false),
                                Chunk("tEXt", Text("Title\0x"), false), rest});
  int changed = 0;
  const std::vector<uint8_t> out = WithSourcePngChunks(source, png, [&](std::span<const uint8_t> block) {
    ++changed;
    return std::vector<uint8_t>(block.begin(), block.end());
  });
  const std::string text(out.begin(), out.end());
  EXPECT_NE(text.find("gAMA"), std::string::npos);
  EXPECT_NE(text.find("eXIf"), std::string::npos);
  EXPECT_EQ(text.find("tEXt"), std::string::npos);  // FreeImage's own business
  EXPECT_EQ(changed, 1);
  EXPECT_TRUE(DecodeBytes(out));
  // Carried once: the new file's own chunk of a type wins.
  EXPECT_EQ(WithSourcePngChunks(source, out), out);
  // A chunk whose length runs past the end ends the walk.
  TBytes damaged = source;
  damaged[33] = 0x7F;
  EXPECT_EQ(WithSourcePngChunks(damaged, png), png);

  // The background and significant bits are laid out by the colour type:
  // carried into a file of the same type only, the background after PLTE.
  const TBytes layoutBound = Concat({Chunk("sBIT", {5, 6, 5}, false), Chunk("bKGD", {0, 1, 0, 2, 0, 3}, false)});
  const std::string same = [&] {
    const std::vector<uint8_t> bytes = WithSourcePngChunks(Concat({ihdr, layoutBound, rest}), png);
    return std::string(bytes.begin(), bytes.end());
  }();
  EXPECT_LT(same.find("sBIT"), same.find("IDAT"));
  EXPECT_EQ(same.find("bKGD") + 4 + 6 + 4 + 4, same.find("IDAT"));
  EXPECT_TRUE(DecodeBytes(TBytes(same.begin(), same.end())));
  TBytes otherType = ihdr;
  otherType[25] = 6;  // RGBA where the file written is RGB
  EXPECT_EQ(WithSourcePngChunks(Concat({otherType, layoutBound, rest}), png), png);
}

TEST(ContainerChunks, WebPFactsAndTheExifChunk) {
  const TBytes lossless = Riff(Chunk("VP8L", {0x2F, 0x07, 0xC0, 0x01, 0x10}, true));
  EXPECT_TRUE(ReadWebPFacts(lossless).Lossless);
  EXPECT_EQ(ReadWebPFacts(lossless).Frames, 1u);
  const TBytes frame = Concat({TBytes(16, 0), Chunk("VP8 ", TBytes(10, 0), true)});
  const TBytes animation = Riff(Concat({Chunk("VP8X", TBytes(10, 0), true), Chunk("ANIM", TBytes(6, 0), true),
                                        Chunk("ANMF", frame, true), Chunk("ANMF", frame, true)}));
  EXPECT_FALSE(ReadWebPFacts(animation).Lossless);
  EXPECT_EQ(ReadWebPFacts(animation).Frames, 2u);

  // FreeImage's "Exif\0\0" before the TIFF block goes; the sizes follow.
  const TBytes block = Text(std::string("MM\0*\0\0\0\x08\0\0\0\0\0", 13));
  const TBytes written = Riff(Concat({Chunk("VP8X", TBytes(10, 0), true), Chunk("VP8L", {0x2F, 0, 0, 0, 0}, true),
                                      Chunk("EXIF", Concat({Text(std::string("Exif\0\0", 6)), block}), true)}));
  const std::vector<uint8_t> valid = WithValidWebPExif(written);
  EXPECT_EQ(valid.size(), written.size() - 6);
  const std::string text(valid.begin(), valid.end());
  const size_t exif = text.find("EXIF");
  ASSERT_NE(exif, std::string::npos);
  EXPECT_EQ(valid[exif + 4], block.size());
  EXPECT_EQ(std::memcmp(valid.data() + exif + 8, block.data(), block.size()), 0);
  EXPECT_EQ(uint32_t(valid[4] | valid[5] << 8), valid.size() - 8);
  // A chunk size beyond the end: left alone.
  TBytes damaged = written;
  damaged[damaged.size() - block.size() - 6 - 4] = 0xFF;
  EXPECT_EQ(WithValidWebPExif(damaged), damaged);

  // A simple lossless file given the source's EXIF chunk gets an extended
  // header that announces it.
  const std::vector<uint8_t> carried = WithSourceWebPChunks(valid, lossless);
  const std::string carriedText(carried.begin(), carried.end());
  ASSERT_EQ(carriedText.find("VP8X"), 12u);
  EXPECT_EQ(carried[20] & 0x08, 0x08);
  EXPECT_NE(carriedText.find("EXIF"), std::string::npos);
}

TEST(PictureFacts, ANewFileThatIsNotWhatWasMeantIsNamed) {
  const TDib picture = Pattern(8, 6);
  TPictureFacts meant = MeantFile(picture.get(), FIF_PNG, 3, true);
  TCheckedFile got;
  got.Decoded = true;
  got.ContentFormat = FIF_PNG;
  got.Facts = meant;
  EXPECT_EQ(CompareWrittenFile(meant, got), "");
  auto found = [&](auto change) {
    TCheckedFile changed = got;
    change(changed);
    return CompareWrittenFile(meant, changed);
  };
  EXPECT_EQ(found([](TCheckedFile& f) { f.Decoded = false; }), "the new file does not decode");
  EXPECT_EQ(found([](TCheckedFile& f) { f.Damaged = true; }), "the new file holds damaged data");
  EXPECT_EQ(found([](TCheckedFile& f) { f.ContentFormat = FIF_JPEG; }), "the new file is a JPEG file, not PNG");
  EXPECT_EQ(found([](TCheckedFile& f) { f.Facts.Pages = 1; }), "the new file holds 1 picture, not 3");
  EXPECT_EQ(found([](TCheckedFile& f) { f.Facts.Width = 6; }), "the new file is 6 x 6 pixels, not 8 x 6");
  EXPECT_EQ(found([](TCheckedFile& f) { f.Facts.Type = FIT_RGB16; }),
            "the new file has 48-bit colour pixels, not 24 bits per pixel");
  meant.Icc = true;
  EXPECT_EQ(CompareWrittenFile(meant, got), "the new file has lost its colour profile");
  meant.Icc = false;
  meant.Models = TModelSet(1) << FIMD_XMP;
  EXPECT_EQ(CompareWrittenFile(meant, got), "the new file has lost its XMP data");

  // A palette picture's colours and transparent entries are compared where
  // the format keeps them; entries missing from a table are opaque.
  TDib palette(FreeImage_ConvertTo8Bits(picture.get()));
  FreeImage_GetPalette(palette.get())[0] = {0, 0, 255, 0};
  BYTE table[2] = {0, 255};
  FreeImage_SetTransparencyTable(palette.get(), table, 2);
  const TPictureFacts gif = MeantFile(palette.get(), FIF_GIF, 1, true);
  TCheckedFile same;
  same.Decoded = true;
  same.Facts = gif;
  same.Facts.Transparency.resize(256, 255);
  EXPECT_EQ(CompareWrittenFile(gif, same), "");
  same.Facts.Palette[0] = {0, 0, 0, 0};
  EXPECT_EQ(CompareWrittenFile(gif, same), "the new file has other colours");
  same.Facts = gif;
  same.Facts.Transparency.clear();
  EXPECT_EQ(CompareWrittenFile(gif, same), "the new file has other transparent colours");
  EXPECT_TRUE(MeantFile(palette.get(), FIF_BMP, 1, true).Transparency.empty());
  EXPECT_EQ(MeantFile(palette.get(), FIF_JPEG, 1, true).Bpp, 24u);
}

// A CMYK picture is meant to keep its inks and profile where the format
// holds them (8 bits an ink in a JPEG), and to become plain sRGB elsewhere.
TEST(PictureFacts, ACmykPictureIsMeantAsItsInksOrAsSrgb) {
  const std::vector<unsigned char>& profile = StandardCmykProfile();
  ASSERT_FALSE(profile.empty());
  const TDib inks = CmykPicture(profile);
  const TDib deep = DeepCmykPicture(inks.get(), profile);
  const TPictureFacts tiff = MeantFile(deep.get(), FIF_TIFF, 1, true);
  EXPECT_TRUE(tiff.Cmyk && tiff.CmykIcc && tiff.Icc);
  EXPECT_EQ(tiff.Type, FIT_RGBA16);
  EXPECT_FALSE(HasAlpha(tiff)) << "the fourth channel is black";
  const TPictureFacts jpeg = MeantFile(deep.get(), FIF_JPEG, 1, true);
  EXPECT_TRUE(jpeg.Cmyk && jpeg.CmykIcc);
  EXPECT_EQ(jpeg.Type, FIT_BITMAP);
  EXPECT_EQ(jpeg.Bpp, 32u);
  const TPictureFacts png = MeantFile(inks.get(), FIF_PNG, 1, false);
  EXPECT_FALSE(png.Cmyk || png.CmykIcc || png.Icc);
  EXPECT_EQ(png.Bpp, 24u);

  TCheckedFile got;
  got.Decoded = true;
  got.ContentFormat = FIF_JPEG;
  got.Facts = jpeg;
  EXPECT_EQ(CompareWrittenFile(jpeg, got), "");
  got.Facts.Cmyk = false;
  EXPECT_EQ(CompareWrittenFile(jpeg, got), "the new file has lost its CMYK inks");
  got.ContentFormat = FIF_PNG;
  got.Facts = png;
  got.Facts.Icc = got.Facts.CmykIcc = true;
  EXPECT_EQ(CompareWrittenFile(png, got), "the new file has a CMYK colour profile on colours that are not CMYK");
}

}  // namespace
