// The pieces a faithful write is made of, on small crafted inputs: the JPEG
// quality read from its tables, the segments carried into a re-encode, PNG
// and WebP chunks, and the comparison of a new file with what was meant.
// Damaged input leaves the bytes as they were.
#include "edit/container_chunks.h"
#include "edit/exif/exif_errors.h"
#include "edit/jpeg_encoding.h"
#include "edit/picture_facts.h"
#include "edit_test_support.h"

#include <gtest/gtest.h>

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
  if (!littleEndianSize) chunk = Concat({chunk, TBytes(4, 0)});  // a CRC nobody here reads
  else if (data.size() & 1) chunk.push_back(0);
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
  EXPECT_EQ(JpegSaveFlags({92, JPEG_SUBSAMPLING_444, true}), 92 | JPEG_SUBSAMPLING_444 | JPEG_PROGRESSIVE | JPEG_BASELINE);
}

TEST(JpegEncoding, AReEncodeCarriesEveryMetadataSegmentButAdobes) {
  const TBytes segments =
      Concat({Segment(0xE1, Text("Exif-ish")), Segment(0xE2, Text("ICC_PROFILE")), Segment(0xED, Text("Photoshop 3.0")),
              Segment(0xEE, Text("Adobe")), Segment(0xFE, Text("a comment"))});
  const TBytes source = InsertAfterSoi(EncodeJpeg(16, 16, 80), segments);
  const TBytes encoded = EncodeWithFreeImage(Pattern(24, 16).get(), FIF_JPEG, 90 | JPEG_BASELINE);
  const std::vector<uint8_t> out = WithSourceSegments(source, encoded, {});
  for (const auto& [marker, prefix] : {std::pair{0xE0, "JFIF"}, std::pair{0xE1, "Exif-ish"}, std::pair{0xE2, "ICC_PROFILE"},
                                       std::pair{0xED, "Photoshop 3.0"}, std::pair{0xFE, "a comment"}})
    EXPECT_TRUE(HasSegment(out, uint8_t(marker), prefix)) << prefix;
  EXPECT_FALSE(HasSegment(out, 0xEE, "Adobe"));
  EXPECT_EQ(ScanData(out), ScanData(encoded));
  EXPECT_EQ(FreeImage_GetWidth(DecodeBytes(out).get()), 24u);
  // A source whose segments run past its end is refused, not read past.
  const TBytes cut(source.begin(), source.begin() + 30);
  EXPECT_THROW(WithSourceSegments(cut, encoded, {}), EExifError);
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
  const TBytes written =
      Riff(Concat({Chunk("VP8X", TBytes(10, 0), true), Chunk("VP8L", {0x2F, 0, 0, 0, 0}, true),
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

}  // namespace
