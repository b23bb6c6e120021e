#include "edit/exif/tiff_reader.h"

#include "edit/exif/exif_errors.h"

#include <cstring>

namespace {

constexpr uint8_t ExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};

bool HasExifPrefix(std::span<const uint8_t> data) {
  return data.size() >= 6 && std::memcmp(data.data(), ExifPrefix, 6) == 0;
}

// The byte order in which the magic word reads 42, if the mark is valid.
bool HeaderOrder(std::span<const uint8_t> data, TByteOrder& order) {
  if (data.size() < 4) return false;
  const bool markOk = (data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M');
  if (!markOk) return false;
  if (data[2] == 0x2A && data[3] == 0) {
    order = boLittleEndian;
    return true;
  }
  if (data[2] == 0 && data[3] == 0x2A) {
    order = boBigEndian;
    return true;
  }
  return false;
}

}  // namespace

bool HasTiffHeader(std::span<const uint8_t> data) {
  TByteOrder order;
  return HeaderOrder(data, order);
}

TTiffBlock ParseTiffHeader(std::span<const uint8_t> data) {
  if (HasExifPrefix(data)) data = data.subspan(6);
  TTiffBlock block;
  if (!HeaderOrder(data, block.Order) || data.size() < 8) throw EInvalidTiffData();
  block.Bytes = data;
  block.FirstDirectory = GetLong(data.data() + 4, block.Order);
  return block;
}

void TTiffValueBudget::Spend(uint64_t bytes) {
  if (bytes > FLeft) throw EInvalidTiffData();
  FLeft -= bytes;
}

TTiffDirectory ReadTiffDirectory(const TTiffBlock& block, uint32_t offset, TTiffValueBudget& budget) {
  TTiffDirectory dir;
  const uint64_t size = block.Bytes.size();
  const uint8_t* bytes = block.Bytes.data();
  // A directory overlapping the header or whose count lies past the end is empty.
  if (offset < 8 || uint64_t(offset) + 2 > size) return dir;
  const uint64_t declared = GetWord(bytes + offset, block.Order);
  const uint64_t fitting = (size - offset - 2) / 12;
  const uint64_t count = declared < fitting ? declared : fitting;
  dir.Whole = count == declared;
  dir.Tags.reserve(count);

  bool previousBad = false;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* entry = bytes + offset + 2 + 12 * i;
    TExifTag tag;
    tag.ID = GetWord(entry, block.Order);
    const uint16_t type = GetWord(entry + 2, block.Order);
    const uint32_t elements = GetLong(entry + 4, block.Order);
    const uint64_t valueSize = uint64_t(elements) * DataTypeSize(type);
    const uint8_t* value = nullptr;
    bool bad = !IsValidDataType(type);
    if (!bad) {
      if (valueSize <= 4) {
        value = entry + 8;
      } else {
        const uint32_t valueOffset = GetLong(entry + 8, block.Order);
        if (valueOffset < 8 || valueOffset + valueSize > size) {
          bad = true;
        } else {
          value = bytes + valueOffset;
          tag.OriginalDataOffset = valueOffset;
        }
      }
    }
    if (bad) {
      dir.Whole = false;
      if (previousBad) break;
      tag.DataType = tdUndefined;
      tag.ElementCount = 0;
      tag.WellFormed = false;
      tag.OriginalDataOffset = 0;
    } else {
      budget.Spend(valueSize);
      tag.DataType = TTiffDataType(type);
      tag.ElementCount = elements;
      tag.Data.resize(size_t(valueSize));
      DecodeValue(type, value, size_t(valueSize), block.Order, tag.Data.data());
    }
    previousBad = bad;
    dir.Tags.push_back(std::move(tag));
  }

  const uint64_t nextAt = offset + 2 + 12 * count;
  if (count == declared && nextAt + 4 <= size) dir.NextOffset = GetLong(bytes + nextAt, block.Order);
  return dir;
}

uint32_t PointerValue(const TExifTag* tag) { return tag && tag->ElementCount > 0 ? tag->ElementAsUInt(0) : 0; }
