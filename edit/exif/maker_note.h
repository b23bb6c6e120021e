#pragma once

#include "edit/exif/tiff_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Bytes kept after a maker note whose layout is not known, in case its
// directory points at values stored past its declared length.
constexpr size_t MakerNoteMargin = 512;

// How many bytes from its start belong to a maker note, counted from its
// start: at least its declared size.
struct TMakerNoteExtent {
  uint64_t Referenced = 0;  // as far as the note's directory points
  uint64_t Kept = 0;        // and the margin, for a note in no known layout
};

// The extent of the maker note stored at offset with the declared size. Its
// directory is read in the layout of the maker its signature (or, for notes
// without one, the camera's make) names, with offsets counted from the TIFF
// block or from the note as that maker does; some cameras store values past
// the declared size. A note in no known layout keeps MakerNoteMargin more
// bytes (as far as the block goes) besides whatever a plain directory at its
// start points at. shift is an editor's recorded move of the note: offsets
// counted from the block were made shift bytes earlier.
TMakerNoteExtent MakerNoteExtent(const TTiffBlock& block, uint32_t offset, uint64_t size, std::string_view make,
                                 int64_t shift = 0);
