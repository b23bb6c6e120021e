// Maker notes whose directory keeps values past the length their Exif entry
// declares: every byte the note points at stays where it was, in an Exif
// block and in a TIFF file; a note in a layout that is not read keeps a
// margin of the bytes that follow it.
#include "edit/exif/maker_note.h"
#include "edit/exif/exif_data.h"
#include "maker_note_samples.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The bytes the reader is to keep after the declared ones.
size_t ExpectedTrailer(const TMakerNoteSample& sample, const TMakerNoteBlock& source) {
  const size_t past = source.Note.size() - source.Declared;
  if (sample.Parsed) return past;
  return std::min<size_t>(MakerNoteMargin, source.Block.size() - source.NoteOffset - source.Declared);
}

bool HoldsAt(const TBytes& bytes, size_t offset, const TBytes& part) {
  return bytes.size() >= offset + part.size() &&
         std::equal(part.begin(), part.end(), bytes.begin() + std::ptrdiff_t(offset));
}

TEST(MakerNote, ValuesPastTheDeclaredLengthStayInPlaceForEveryMaker) {
  for (const TMakerNoteSample& sample : MakerNoteSamples()) {
    SCOPED_TRACE(sample.Maker);
    const TMakerNoteBlock source = MakerNoteBlock(sample);
    TExifData exif;
    exif.LoadFromTiffBlock(source.Block);
    const TExifTag* note = exif[esDetails].Find(0x927C);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->Data.size(), source.Declared);
    EXPECT_EQ(note->TrailingBytes.size(), ExpectedTrailer(sample, source));
    // Only an unknown layout's margin is a guess; a plain directory there is
    // still read.
    EXPECT_EQ(note->TrailingBytesNeeded, sample.Maker == "Leica" ? 0 : source.Note.size() - source.Declared);
    exif.General().SetOrientation(toTopLeft);
    const TBytes written = exif.SaveToTiffBlock();
    EXPECT_TRUE(HoldsAt(written, source.NoteOffset, source.Note));
    TExifData read;
    read.LoadFromTiffBlock(written);
    EXPECT_EQ(read.General().Orientation(), toTopLeft);
    EXPECT_EQ(read.Thumbnail(), exif.Thumbnail());
    EXPECT_EQ(read[esGPS].Count(), 3u);
  }
}

TEST(MakerNote, ValuesPastTheDeclaredLengthStayInPlaceInATiffFile) {
  // The block is a TIFF file of its own: IFD0 and IFD1, whose thumbnail the
  // rebuild moves like image data.
  for (const TMakerNoteSample& sample : MakerNoteSamples()) {
    SCOPED_TRACE(sample.Maker);
    const TMakerNoteBlock source = MakerNoteBlock(sample);
    TExifData exif;
    ASSERT_TRUE(exif.LoadFromBytes(source.Block));
    exif.General().SetOrientation(toTopLeft);
    const TBytes written = exif.SaveToBytes(source.Block);
    EXPECT_TRUE(HoldsAt(written, source.NoteOffset, source.Note));
    TExifData read;
    ASSERT_TRUE(read.LoadFromBytes(written));
    EXPECT_EQ(read[esDetails].Find(0x927C)->TrailingBytes.size(), ExpectedTrailer(sample, source));
  }
}

TEST(MakerNote, AMovedNoteGoesBackWithTheValuesPastItsLength) {
  // An editor moved the note 40 bytes on and said so in OffsetSchema: its
  // offsets, made for the old place, are read 40 bytes further on, and the
  // whole note goes back there.
  for (const TMakerNoteSample& sample : MakerNoteSamples()) {
    if (sample.Maker != "Canon" && sample.Maker != "Olympus") continue;  // from the block and from the note
    SCOPED_TRACE(sample.Maker);
    const TMakerNoteBlock source = MakerNoteBlock(sample, 40);
    TExifData exif;
    exif.LoadFromTiffBlock(source.Block);
    EXPECT_EQ(exif[esDetails].Find(0x927C)->TrailingBytes.size(), source.Note.size() - source.Declared);
    const TBytes written = exif.SaveToTiffBlock();
    EXPECT_TRUE(HoldsAt(written, source.NoteOffset - 40, source.Note));
  }
}

TEST(MakerNote, ANoteThatIsNoDirectoryKeepsTheMargin) {
  const TTiffBuilder b;
  TBytes note = Text("KDK INFO");
  note.resize(60, 0x5A);
  TTiffBuilder::TIfd ifd0{{{0x010F, 2, 6, b.Ascii("Kodak")}, {0x8769, 4, 1, b.Long({0})}}};
  TTiffBuilder::TIfd exif{{{0x927C, 7, 60, note}}};
  for (size_t following : {size_t(100), size_t(2000)}) {
    const TBytes block = Concat({b.Build({ifd0, exif}, 1, {{0, 1, 1}}), TBytes(following, 0x77)});
    TExifData data;
    data.LoadFromTiffBlock(block);
    EXPECT_EQ(data[esDetails].Find(0x927C)->TrailingBytes, TBytes(std::min(following, MakerNoteMargin), 0x77));
  }
}

TEST(MakerNote, TheMarginGoesWhenTheSegmentWouldOverflow) {
  // A Kodak note (no directory) followed by a comment that brings the block
  // within 200 bytes of a segment's limit: the margin would move the comment
  // past it.
  const TTiffBuilder b;
  TBytes note = Text("KDK INFO");
  note.resize(60, 0x5A);
  auto make = [&](size_t commentSize) {
    TTiffBuilder::TIfd ifd0{{{0x010F, 2, 6, b.Ascii("Kodak")}, {0x8769, 4, 1, b.Long({0})}}};
    TTiffBuilder::TIfd exif{{{0x927C, 7, 60, note}, {0x9286, 7, uint32_t(commentSize), TBytes(commentSize, 'c')}}};
    return b.Build({ifd0, exif}, 1, {{0, 1, 1}});
  };
  const size_t limit = 65533 - 6;
  const TBytes block = make(limit - 200 - make(0).size());
  ASSERT_EQ(block.size(), limit - 200);
  const TBytes source =
      InsertAfterSoi(EncodeJpeg(16, 16), Segment(0xE1, Concat({Text(std::string("Exif\0\0", 6)), block})));
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromBytes(source));
  ASSERT_EQ(exif[esDetails].Find(0x927C)->TrailingBytes.size(), MakerNoteMargin);
  exif.General().SetOrientation(toTopLeft);
  const TBytes out = exif.SaveToBytes(source);
  TExifData read;
  ASSERT_TRUE(read.LoadFromBytes(out));
  EXPECT_EQ(read.General().Orientation(), toTopLeft);
  EXPECT_EQ(read[esDetails].Find(0x927C)->Data, note);
  EXPECT_EQ(read[esDetails].Find(0x927C)->OriginalDataOffset, exif[esDetails].Find(0x927C)->OriginalDataOffset);
  EXPECT_EQ(read[esDetails].Find(0x9286)->Data, TBytes(limit - 200 - make(0).size(), 'c'));
}

}  // namespace
