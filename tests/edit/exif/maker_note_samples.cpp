#include "maker_note_samples.h"

namespace {

using TEntry = TTiffBuilder::TEntry;

TBytes Rational(const TTiffBuilder& b, int32_t numerator, int32_t denominator) {
  return b.Long({uint32_t(numerator), uint32_t(denominator)});
}

TBytes Padded(const std::string& text, size_t size) {
  TBytes out = TTiffBuilder::Ascii(text);
  out.resize(size, 0);
  return out;
}

TEntry Entry(uint16_t tag, uint16_t type, const TBytes& value) {
  static const uint32_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return {tag, type, uint32_t(value.size() / sizes[type]), value};
}

TMakerNoteSample Sample(const std::string& maker, const std::string& make, const std::string& model, bool bigEndian,
                        bool noteBigEndian) {
  TMakerNoteSample sample;
  sample.Maker = maker;
  sample.Make = make;
  sample.Model = model;
  sample.BigEndian = bigEndian;
  sample.NoteBigEndian = noteBigEndian;
  return sample;
}

// The note's bytes when its offsets are made for block offset at: header,
// directory, a zero next-directory offset, the values in entry order on
// even offsets. declared receives the end of the declared values.
TBytes NoteBytes(const TMakerNoteSample& sample, uint32_t at, uint32_t& declared) {
  const TTiffBuilder b(sample.NoteBigEndian);
  TBytes note = sample.Header;
  const size_t directory = note.size();
  const size_t count = sample.Entries.size();
  note.resize(directory + 2 + 12 * count + 4, 0);
  b.Put16(note, directory, uint16_t(count));
  declared = uint32_t(note.size());
  for (size_t i = 0; i < count; ++i) {
    const TEntry& entry = sample.Entries[i];
    const size_t at12 = directory + 2 + 12 * i;
    b.Put16(note, at12, entry.Tag);
    b.Put16(note, at12 + 2, entry.Type);
    b.Put32(note, at12 + 4, entry.Count);
    if (entry.Value.size() <= 4) {
      std::copy(entry.Value.begin(), entry.Value.end(), note.begin() + std::ptrdiff_t(at12 + 8));
    } else {
      if (note.size() & 1) note.push_back(0);
      const uint64_t position = note.size();
      b.Put32(note, at12 + 8, uint32_t(sample.Base < 0 ? at + position : position - uint64_t(sample.Base)));
      note.insert(note.end(), entry.Value.begin(), entry.Value.end());
    }
    if (i + 1 == sample.DeclaredEntries) declared = uint32_t(note.size());
  }
  return note;
}

}  // namespace

std::vector<TMakerNoteSample> MakerNoteSamples() {
  std::vector<TMakerNoteSample> samples;
  {
    TMakerNoteSample s = Sample("Canon", "Canon", "Canon EOS 5D", false, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Entries = {Entry(0x0006, 2, b.Ascii("IMG:EOS 5D JPEG")), Entry(0x0007, 2, b.Ascii("Firmware 1.1.1")),
                 Entry(0x0009, 2, Padded("Jo Doe", 32)), Entry(0x000C, 4, b.Long({1234567}))};
    s.DeclaredEntries = 2;
    samples.push_back(s);
  }
  {
    // An inner TIFF header of its own, little-endian in a big-endian block.
    TMakerNoteSample s = Sample("Nikon", "NIKON CORPORATION", "NIKON D70", true, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("Nikon\0\x02\x10\0\0II*\0\x08\0\0\0", 18));
    s.Base = 10;
    s.Entries = {Entry(0x0001, 7, Text("0210")), Entry(0x0002, 3, b.Short({0, 200})),
                 Entry(0x0004, 2, b.Ascii("FINE  ")), Entry(0x0005, 2, b.Ascii("AUTO        ")),
                 Entry(0x0007, 2, b.Ascii("AF-S  "))};
    s.DeclaredEntries = 3;
    samples.push_back(s);
  }
  {
    // Nikon's scan directory, empty, just past the declared length: only its
    // count and next-directory offset lie there.
    TMakerNoteSample s = Sample("NikonScan", "NIKON CORPORATION", "NIKON D850", false, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("Nikon\0\x02\x11\0\0II*\0\x08\0\0\0", 18));
    s.Base = 10;
    s.Entries = {Entry(0x0001, 7, Text("0211")),
                 Entry(0x0002, 3, b.Short({0, 400})),
                 Entry(0x0004, 2, b.Ascii("FINE  ")),
                 {0x0E10, 13, 1, TBytes(6, 0)}};
    s.DeclaredEntries = 3;
    samples.push_back(s);
  }
  {
    TMakerNoteSample s = Sample("Olympus", "OLYMPUS IMAGING CORP.", "E-M5", false, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("OLYMPUS\0II\x03\0", 12));
    s.Base = 0;
    s.Entries = {Entry(0x0200, 4, b.Long({0, 1, 0})), Entry(0x0204, 5, Rational(b, 100, 100)),
                 Entry(0x0207, 2, b.Ascii("D4555")), Entry(0x0209, 7, Padded("OLYMPUS DIGITAL CAMERA", 32))};
    s.DeclaredEntries = 2;
    samples.push_back(s);
  }
  {
    // The flash compensation of a Konica Minolta past the declared length.
    TMakerNoteSample s = Sample("Minolta", "KONICA MINOLTA", "DiMAGE A2", true, true);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Entries = {Entry(0x0000, 7, Text("MLT0")), Entry(0x0101, 4, b.Long({1})), Entry(0x0102, 4, b.Long({2})),
                 Entry(0x0104, 10, Rational(b, -2, 3)), Entry(0x0105, 4, b.Long({0}))};
    s.DeclaredEntries = 3;
    samples.push_back(s);
  }
  {
    TMakerNoteSample s = Sample("Pentax", "PENTAX Corporation", "PENTAX K10D", true, true);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("AOC\0MM", 6));
    s.Entries = {Entry(0x0000, 1, TBytes{4, 1, 0, 0}), Entry(0x0001, 3, b.Short({1})), Entry(0x0008, 3, b.Short({2})),
                 Entry(0x0200, 3, b.Short({1, 2, 3, 4})), Entry(0x0229, 2, b.Ascii("1234567"))};
    s.DeclaredEntries = 3;
    samples.push_back(s);
  }
  {
    TMakerNoteSample s = Sample("Sony", "SONY", "DSC-H5", false, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("SONY DSC \0\0\0", 12));
    s.Entries = {Entry(0x0102, 4, b.Long({2})), Entry(0x0104, 10, Rational(b, -1, 3)), Entry(0x0105, 4, b.Long({0})),
                 Entry(0xB020, 2, b.Ascii("Standard"))};
    s.DeclaredEntries = 1;
    samples.push_back(s);
  }
  {
    // Always little-endian; the directory's offset in the header.
    TMakerNoteSample s = Sample("Fujifilm", "FUJIFILM", "FinePix S5600", true, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("FUJIFILM\x0C\0\0\0", 12));
    s.Base = 0;
    s.Entries = {Entry(0x0000, 7, Text("0130")), Entry(0x1000, 2, b.Ascii("NORMAL ")), Entry(0x1001, 3, b.Short({3})),
                 Entry(0x1011, 10, Rational(b, -2, 3))};
    s.DeclaredEntries = 2;
    samples.push_back(s);
  }
  {
    TMakerNoteSample s = Sample("Panasonic", "Panasonic", "DMC-FZ30", false, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("Panasonic\0\0\0", 12));
    s.Entries = {Entry(0x0001, 3, b.Short({2})), Entry(0x0002, 7, Text("0100")), Entry(0x0003, 3, b.Short({1})),
                 Entry(0x0025, 7, Text("F540912345678901")), Entry(0x0051, 2, b.Ascii("LUMIX G VARIO"))};
    s.DeclaredEntries = 3;
    samples.push_back(s);
  }
  {
    TMakerNoteSample s = Sample("Acme", "Acme Optical", "A1", false, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Entries = {Entry(0x0001, 3, b.Short({5})), Entry(0x0002, 2, b.Ascii("hello world")),
                 Entry(0x0003, 5, Rational(b, 7, 2))};
    s.DeclaredEntries = 2;
    s.Parsed = false;
    samples.push_back(s);
  }
  {
    // Offsets from the directory's start; one of several Leica layouts.
    TMakerNoteSample s = Sample("Leica", "Leica Camera AG", "M8 Digital Camera", false, false);
    const TTiffBuilder b(s.NoteBigEndian);
    s.Header = Text(std::string("LEICA\0\0\0", 8));
    s.Base = 8;
    s.Entries = {Entry(0x0300, 3, b.Short({2})), Entry(0x0303, 4, b.Long({3101234})),
                 Entry(0x0311, 10, Rational(b, 1, 10)), Entry(0x0313, 5, Rational(b, 56, 10))};
    s.DeclaredEntries = 2;
    s.Parsed = false;
    samples.push_back(s);
  }
  return samples;
}

TMakerNoteBlock MakerNoteBlock(const TMakerNoteSample& sample, int32_t shift) {
  const TTiffBuilder b(sample.BigEndian);
  const TBytes thumbnail = EncodeJpeg(16, 12, 50, false);
  auto build = [&](const TBytes& note, uint32_t declared, uint32_t& noteOffset) {
    TTiffBuilder::TIfd ifd0{{{0x010F, 2, uint32_t(sample.Make.size() + 1), b.Ascii(sample.Make)},
                             {0x0110, 2, uint32_t(sample.Model.size() + 1), b.Ascii(sample.Model)},
                             {0x0112, 3, 1, b.Short({6})},
                             {0x8769, 4, 1, b.Long({0})},
                             {0x8825, 4, 1, b.Long({0})}}};
    TTiffBuilder::TIfd ifd1{{{0x0103, 3, 1, b.Short({6})},
                             {0x0201, 4, 1, b.Long({0})},
                             {0x0202, 4, 1, b.Long({uint32_t(thumbnail.size())})}}};
    TTiffBuilder::TIfd exif{
        {{0x829A, 5, 1, b.Long({1, 250})}, {0x8827, 3, 1, b.Short({400})}, {0x927C, 7, declared, note}}};
    if (shift) exif.Entries.push_back({0xEA1D, 9, 1, b.Long({uint32_t(shift)})});
    TTiffBuilder::TIfd gps{
        {{0x0000, 1, 4, {2, 3, 0, 0}}, {0x0001, 2, 2, b.Ascii("N")}, {0x0002, 5, 3, b.Long({48, 1, 30, 1, 0, 1})}}};
    uint32_t thumbnailAt = 0;
    TBytes block = b.Build({ifd0, ifd1, exif, gps}, 2, {{0, 3, 2}, {0, 4, 3}}, thumbnail, &thumbnailAt);
    const size_t ifd1At = 8 + 6 + 12 * ifd0.Entries.size();
    const size_t exifAt = ifd1At + 6 + 12 * ifd1.Entries.size();
    b.Put32(block, ifd1At + 2 + 12 + 8, thumbnailAt);
    noteOffset = b.Get32(block, exifAt + 2 + 24 + 8);
    return block;
  };
  TMakerNoteBlock result;
  // The note's size does not depend on where it lies: lay the block out once
  // to learn the note's offset, then make the note for it.
  result.Note = NoteBytes(sample, 0, result.Declared);
  build(result.Note, result.Declared, result.NoteOffset);
  result.Note = NoteBytes(sample, uint32_t(int64_t(result.NoteOffset) - shift), result.Declared);
  result.Block = build(result.Note, result.Declared, result.NoteOffset);
  return result;
}

TBytes MakerNoteJpeg(const TMakerNoteSample& sample) {
  return InsertAfterSoi(EncodeJpeg(64, 48, 85, false),
                        Segment(0xE1, Concat({Text(std::string("Exif\0\0", 6)), MakerNoteBlock(sample).Block})));
}
