#pragma once

#include "edit/exif/byte_order.h"
#include "edit/exif/exif_section.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The content of one EXIF TIFF block: the five directories, the maker note
// section and the JPEG thumbnail that IFD1 describes.
struct TExifBlock {
  TByteOrder Order = boLittleEndian;
  std::array<TExifSection, 6> Sections{TExifSection(esGeneral), TExifSection(esDetails),   TExifSection(esInterop),
                                       TExifSection(esGPS),     TExifSection(esThumbnail), TExifSection(esMakerNote)};
  std::vector<uint8_t> Thumbnail;

  TExifSection& operator[](TExifSectionKind kind) { return Sections[kind]; }
  const TExifSection& operator[](TExifSectionKind kind) const { return Sections[kind]; }
  // No section holds a tag and there is no thumbnail.
  bool IsEmpty() const;
};

// Parses a TIFF block (an "Exif" 00 00 prefix is skipped): IFD0, IFD1 with
// its JPEG thumbnail, and the Exif, GPS and interoperability directories. A
// damaged directory or entry is read as far as it goes; only a wrong header
// raises EInvalidTiffData.
TExifBlock ReadExifBlock(std::span<const uint8_t> data);

// Writes the block: padding tags removed (when asked), the maker note kept at
// its source offset, pointer tags set to the directories that hold tags, IFD1
// with the thumbnail (reduced when too large), IFD0 at 8 and the other
// directories after it, each followed by its values. Returns an empty vector
// when the block is empty (no section holds a tag and there is no
// thumbnail); otherwise IFD0 is written, even without tags. A block larger than maxSize raises EExifDataTooLarge before
// it is assembled.
std::vector<uint8_t> WriteExifBlock(TExifBlock block, bool removePaddingTags, uint64_t maxSize = 0xFFFFFFFF);

// Sets IFD1's ImageWidth and ImageLength, those it has, to the size of the
// thumbnail's frame.
void SetThumbnailSizeTags(TExifSection& ifd1, std::span<const uint8_t> thumbnail);

// How far an editor moved the maker note (0x927C of the Exif section) from
// where the camera wrote it, as OffsetSchema (0xEA1D, one SLONG) records it,
// when the move is believable (back to an offset of at least 8, at most
// 64 KiB further on); else 0.
int64_t MakerNoteShift(const TExifSection& details);

// Where the maker note is kept: its offset in the source, or the offset it
// had before a believable recorded move, after which OffsetSchema becomes 0.
// 0 when the maker note is not kept in place (4 bytes or less, or not read
// from a block).
uint32_t KeptMakerNoteOffset(TExifSection& details);

// The bytes a kept maker note takes: its value and the bytes after it that
// belong to it; and writes them in the block's byte order.
uint64_t KeptMakerNoteSize(const TExifTag& note);
void EncodeKeptMakerNote(const TExifTag& note, TByteOrder order, uint8_t* target);

// Removes the padding tag (0xEA1C, UNDEFINED, more than one element, value
// starting 1C EA) from the section; returns whether there was one.
bool RemovePaddingTag(TExifSection& section);
