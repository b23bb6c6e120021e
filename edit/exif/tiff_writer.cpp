#include "edit/exif/tiff_writer.h"

#include "edit/exif/exif_errors.h"

#include <algorithm>
#include <cstring>

uint64_t DirectorySize(size_t tagCount) {
  if (tagCount > MaxDirectoryEntries) throw EExifDataTooLarge("Too many tags in one directory");
  return 6 + 12 * uint64_t(tagCount);
}

uint64_t TagValueSize(const TExifTag& tag) { return uint64_t(tag.ElementCount) * DataTypeSize(tag.DataType); }

uint64_t DataAreaSize(const std::vector<TExifTag>& tags, const TFixedValueOffsets& fixed) {
  uint64_t total = 0;
  for (const TExifTag& tag : tags) {
    const uint64_t size = TagValueSize(tag);
    if (size > 4 && !fixed.contains(tag.ID)) total += AlignWord(size);
  }
  return total;
}

namespace {

// Writes size bytes of the tag's value in the block's order. Data shorter
// than the element count promises (a tag built by hand) is padded with zeros.
void PutValue(const TExifTag& tag, uint64_t size, TByteOrder order, uint8_t* target) {
  std::memset(target, 0, size_t(size));
  const size_t available = std::min<uint64_t>(size, tag.Data.size());
  EncodeValue(tag.DataType, tag.Data.data(), available, order, target);
}

}  // namespace

void EncodeDirectory(const std::vector<TExifTag>& tags, TByteOrder order, uint32_t dirOffset, uint32_t nextOffset,
                     uint8_t* target, const TFixedValueOffsets& fixed) {
  const uint64_t dirSize = DirectorySize(tags.size());
  PutWord(target, uint16_t(tags.size()), order);
  uint64_t dataPos = dirSize;  // relative to target
  uint8_t* entry = target + 2;
  for (const TExifTag& tag : tags) {
    PutWord(entry, tag.ID, order);
    PutWord(entry + 2, tag.DataType, order);
    PutLong(entry + 4, tag.ElementCount, order);
    const uint64_t size = TagValueSize(tag);
    std::memset(entry + 8, 0, 4);
    if (size <= 4) {
      PutValue(tag, size, order, entry + 8);
    } else if (const auto it = fixed.find(tag.ID); it != fixed.end()) {
      PutLong(entry + 8, it->second, order);
    } else {
      PutLong(entry + 8, uint32_t(dirOffset + dataPos), order);
      PutValue(tag, size, order, target + dataPos);
      if (size & 1) target[dataPos + size] = 0;
      dataPos += AlignWord(size);
    }
    entry += 12;
  }
  PutLong(entry, nextOffset, order);
}

void TTiffLayout::Reserve(uint64_t offset, uint64_t size) {
  FReserved.push_back({offset, offset + size});
  FEnd = std::max(FEnd, offset + size);
}

uint64_t TTiffLayout::Place(uint64_t size) {
  uint64_t pos = AlignWord(FPos);
  // Moving behind one range may run into another, so repeat until clear.
  for (bool moved = true; moved;) {
    moved = false;
    for (const TRange& range : FReserved) {
      if (pos < range.End && pos + size > range.Start) {
        pos = AlignWord(range.End);
        moved = true;
      }
    }
  }
  FPos = pos + size;
  FEnd = std::max(FEnd, FPos);
  return pos;
}
