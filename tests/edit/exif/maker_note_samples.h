#pragma once

#include "exif_test_support.h"

#include <cstdint>
#include <string>
#include <vector>

// Crafted maker notes in the layouts of several camera makers, each with
// values stored past the length its Exif entry declares, as some cameras
// write them.
struct TMakerNoteSample {
  std::string Maker, Make, Model;
  bool BigEndian = false;      // the Exif block's byte order
  bool NoteBigEndian = false;  // the note's own
  TBytes Header;               // the bytes before the note's directory
  // The offset in the note that its value offsets count from; -1 when they
  // count from the start of the TIFF block.
  int64_t Base = -1;
  // Values in the note's byte order; an entry of type IFD with a longer
  // value points at that value, a sub-directory.
  std::vector<TTiffBuilder::TEntry> Entries;
  // The values of the first this many entries lie within the declared
  // length; the others follow it.
  size_t DeclaredEntries = 0;
  // Whether the rewrite knows this maker's layout and keeps exactly the
  // bytes the note points at; for the others it keeps a margin of the bytes
  // that follow the note (and whatever a plain directory there points at).
  bool Parsed = true;
};

// Canon, Nikon (type 3, and one whose empty scan directory is all that lies
// past the declared length), Olympus (type 2), Konica Minolta, Pentax, Sony,
// Fujifilm and Panasonic, whose layouts the rewrite knows; an unknown maker
// with a plain directory and a Leica M8, kept by the margin.
std::vector<TMakerNoteSample> MakerNoteSamples();

struct TMakerNoteBlock {
  TBytes Block;  // the TIFF block of an Exif segment
  uint32_t NoteOffset = 0;
  uint32_t Declared = 0;  // the length the Exif entry declares
  TBytes Note;            // every byte of the note, those past the declared length included
};

// An Exif block laid out as cameras do, directories first, then the values
// and the thumbnail: IFD0 (Make, Model, Orientation 6, Exif and GPS
// pointers), IFD1 with a small JPEG thumbnail, the Exif directory with the
// maker note as its last value, and a GPS directory. A rewrite that kept
// only the declared bytes would put IFD1 right after them. With a shift, an
// OffsetSchema tag says the note lies shift bytes past where its offsets
// were made.
TMakerNoteBlock MakerNoteBlock(const TMakerNoteSample& sample, int32_t shift = 0);

// A JPEG file with that block in its Exif segment.
TBytes MakerNoteJpeg(const TMakerNoteSample& sample);
