#pragma once

#include "edit/exif/byte_order.h"
#include "edit/exif/exif_tag.h"

#include <cstdint>
#include <map>
#include <vector>

// Bytes of a tag's value as written: element count times the type's size.
uint64_t TagValueSize(const TExifTag& tag);

// The most entries a directory's 16-bit count can announce.
constexpr size_t MaxDirectoryEntries = 0xFFFF;

// A directory: entry count, 12 bytes per entry, next-directory offset. Every
// directory written is sized here first, so a directory of more entries than
// its count can hold raises EExifDataTooLarge before anything is written.
uint64_t DirectorySize(size_t tagCount);

inline uint64_t AlignWord(uint64_t value) { return (value + 1) & ~uint64_t(1); }

// Values stored elsewhere than in the directory's data area (the maker note
// kept at its offset), by tag ID.
using TFixedValueOffsets = std::map<uint16_t, uint32_t>;

// Bytes of the data area after a directory: every value longer than 4 bytes
// that is not fixed elsewhere, each padded to an even length so that every
// value starts on a word boundary as TIFF requires.
uint64_t DataAreaSize(const std::vector<TExifTag>& tags, const TFixedValueOffsets& fixed = {});

// Writes the directory (at block offset dirOffset) followed by its data area
// into target, which must hold DirectorySize + DataAreaSize bytes. Values are
// stored in entry order; fixed values get their offset in the entry only.
void EncodeDirectory(const std::vector<TExifTag>& tags, TByteOrder order, uint32_t dirOffset, uint32_t nextOffset,
                     uint8_t* target, const TFixedValueOffsets& fixed = {});

// Hands out word-aligned positions one after the other, moving anything that
// would overlap a reserved range (a maker note kept at its offset) behind it.
class TTiffLayout {
public:
  explicit TTiffLayout(uint64_t start) : FPos(start), FEnd(start) {}
  void Reserve(uint64_t offset, uint64_t size);
  uint64_t Place(uint64_t size);
  // The end of everything placed or reserved.
  uint64_t End() const { return FEnd; }

private:
  struct TRange {
    uint64_t Start, End;
  };
  uint64_t FPos, FEnd;
  std::vector<TRange> FReserved;
};
