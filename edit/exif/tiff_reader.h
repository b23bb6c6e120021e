#pragma once

#include "edit/exif/byte_order.h"
#include "edit/exif/exif_tag.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A TIFF block: offsets in it are relative to its first byte, the
// byte-order mark.
struct TTiffBlock {
  std::span<const uint8_t> Bytes;
  TByteOrder Order = boLittleEndian;
  uint32_t FirstDirectory = 0;
};

// True when data begins with 49 49 or 4D 4D followed by 42 as a 16-bit word
// in either byte order.
bool HasTiffHeader(std::span<const uint8_t> data);

// Skips an "Exif" 00 00 prefix and reads the header; a wrong mark or magic or
// a missing IFD0 offset raises EInvalidTiffData.
TTiffBlock ParseTiffHeader(std::span<const uint8_t> data);

// Limits the value bytes copied out of one block. In a sound block the values
// do not overlap, so their sum stays below the block's size; a hostile block
// whose thousands of entries all point at one large value would otherwise
// multiply its size in memory. Exceeding the limit raises EInvalidTiffData.
class TTiffValueBudget {
public:
  explicit TTiffValueBudget(size_t blockSize) : FLeft(2 * uint64_t(blockSize) + (1u << 20)) {}
  void Spend(uint64_t bytes);

private:
  uint64_t FLeft;
};

struct TTiffDirectory {
  std::vector<TExifTag> Tags;  // in entry order
  uint32_t NextOffset = 0;     // 0 when none or unreadable
  // Every entry the count announces was read and is well-formed.
  bool Whole = true;
};

// Reads the directory at offset. A directory whose count does not fit is
// empty; the entry count is reduced to the entries that fit; a bad entry
// (type outside 1 to 13, or an out-of-line value below offset 8 or past the
// end) becomes an UNDEFINED tag with no elements, marked not well-formed, and
// a second bad entry in a row ends the directory.
TTiffDirectory ReadTiffDirectory(const TTiffBlock& block, uint32_t offset, TTiffValueBudget& budget);

// The first element of an integer tag used as a directory or data offset;
// 0 when the tag is missing, empty or not an integer.
uint32_t PointerValue(const TExifTag* tag);
