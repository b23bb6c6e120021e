#include "edit/exif/exif_tag.h"

#include <cstring>

bool IsValidDataType(uint16_t type) { return type >= tdByte && type <= tdSubDirectory; }

uint32_t DataTypeSize(uint16_t type) {
  switch (type) {
    case tdByte:
    case tdAscii:
    case tdSByte:
    case tdUndefined: return 1;
    case tdShort:
    case tdSShort: return 2;
    case tdLong:
    case tdSLong:
    case tdFloat:
    case tdSubDirectory: return 4;
    case tdRational:
    case tdSRational:
    case tdDouble: return 8;
    default: return 0;
  }
}

bool TExifTag::IsInteger() const {
  switch (DataType) {
    case tdByte:
    case tdShort:
    case tdLong:
    case tdSByte:
    case tdSShort:
    case tdSLong:
    case tdSubDirectory: return true;
    default: return false;
  }
}

uint32_t TExifTag::ElementAsUInt(uint32_t index) const {
  if (!IsInteger() || index >= ElementCount) return 0;
  const size_t size = DataTypeSize(DataType);
  if ((size_t(index) + 1) * size > Data.size()) return 0;
  const uint8_t* p = Data.data() + size_t(index) * size;
  switch (DataType) {
    case tdByte: return *p;
    case tdSByte: return uint32_t(int32_t(int8_t(*p)));
    case tdShort: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case tdSShort: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return uint32_t(int32_t(v));
    }
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

namespace {

// A tag of one element of a numeric type, its value in the machine's order.
template <typename T>
TExifTag MakeSingle(uint16_t id, TTiffDataType type, T value) {
  TExifTag tag;
  tag.ID = id;
  tag.DataType = type;
  tag.ElementCount = 1;
  tag.Data.resize(sizeof(T));
  std::memcpy(tag.Data.data(), &value, sizeof(T));
  return tag;
}

}  // namespace

TExifTag TExifTag::MakeShort(uint16_t id, uint16_t value) { return MakeSingle(id, tdShort, value); }

TExifTag TExifTag::MakeLong(uint16_t id, uint32_t value) { return MakeSingle(id, tdLong, value); }

TExifTag TExifTag::MakeBytes(uint16_t id, TTiffDataType type, const uint8_t* bytes, size_t size) {
  TExifTag tag;
  tag.ID = id;
  tag.DataType = type;
  tag.ElementCount = uint32_t(size);
  tag.Data.assign(bytes, bytes + size);
  return tag;
}

namespace {

// The width of the units that are swapped: RATIONAL is two LONGs.
size_t SwapUnit(uint16_t type) {
  switch (type) {
    case tdShort:
    case tdSShort: return 2;
    case tdLong:
    case tdSLong:
    case tdFloat:
    case tdSubDirectory:
    case tdRational:
    case tdSRational: return 4;
    case tdDouble: return 8;
    default: return 1;
  }
}

}  // namespace

void DecodeValue(uint16_t type, const uint8_t* source, size_t size, TByteOrder order, uint8_t* target) {
  const size_t unit = SwapUnit(type);
  if (unit == 1) {
    if (size) std::memcpy(target, source, size);
    return;
  }
  for (size_t i = 0; i + unit <= size; i += unit) {
    if (unit == 2) {
      const uint16_t v = GetWord(source + i, order);
      std::memcpy(target + i, &v, 2);
    } else if (unit == 4) {
      const uint32_t v = GetLong(source + i, order);
      std::memcpy(target + i, &v, 4);
    } else {
      const uint64_t v = GetQuad(source + i, order);
      std::memcpy(target + i, &v, 8);
    }
  }
}

void EncodeValue(uint16_t type, const uint8_t* source, size_t size, TByteOrder order, uint8_t* target) {
  const size_t unit = SwapUnit(type);
  if (unit == 1) {
    if (size) std::memcpy(target, source, size);
    return;
  }
  for (size_t i = 0; i + unit <= size; i += unit) {
    if (unit == 2) {
      uint16_t v;
      std::memcpy(&v, source + i, 2);
      PutWord(target + i, v, order);
    } else if (unit == 4) {
      uint32_t v;
      std::memcpy(&v, source + i, 4);
      PutLong(target + i, v, order);
    } else {
      uint64_t v;
      std::memcpy(&v, source + i, 8);
      PutQuad(target + i, v, order);
    }
  }
}
