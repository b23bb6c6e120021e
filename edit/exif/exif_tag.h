#pragma once

#include "edit/exif/byte_order.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// TIFF field types. A tag read from a damaged entry may carry any 16-bit
// value, so the enumeration is only the set of valid ones.
enum TTiffDataType : uint16_t {
  tdByte = 1,
  tdAscii = 2,
  tdShort = 3,
  tdLong = 4,
  tdRational = 5,
  tdSByte = 6,
  tdUndefined = 7,
  tdSShort = 8,
  tdSLong = 9,
  tdSRational = 10,
  tdFloat = 11,
  tdDouble = 12,
  tdSubDirectory = 13,
};

bool IsValidDataType(uint16_t type);
// Bytes per element; 0 for an invalid type.
uint32_t DataTypeSize(uint16_t type);

// One tag of a section. Data holds ElementCount elements in this machine's
// byte order.
struct TExifTag {
  uint16_t ID = 0;
  TTiffDataType DataType = tdUndefined;
  uint32_t ElementCount = 0;
  std::vector<uint8_t> Data;
  // Offset of the value in the source block when it was stored out of line
  // (relative to the TIFF header), else 0.
  uint32_t OriginalDataOffset = 0;
  bool WellFormed = true;
  // Source bytes right after the value that belong to it, in the source's
  // byte order: values a maker note's directory keeps past its declared
  // length. Written back right after the value wherever the value is kept
  // in place; a tag made anew has none.
  std::vector<uint8_t> TrailingBytes;
  // How many of them the value's own structure points at; the rest are a
  // margin kept in case, which goes when the data would not fit otherwise.
  size_t TrailingBytesNeeded = 0;

  size_t DataSize() const { return Data.size(); }
  // Integer types (BYTE, SHORT, LONG, their signed forms, IFD).
  bool IsInteger() const;
  // Element Index of an integer tag as an unsigned 32-bit value (signed
  // values are converted); 0 when the tag is not an integer or too short.
  uint32_t ElementAsUInt(uint32_t index) const;

  static TExifTag MakeShort(uint16_t id, uint16_t value);
  static TExifTag MakeLong(uint16_t id, uint32_t value);
  static TExifTag MakeBytes(uint16_t id, TTiffDataType type, const uint8_t* bytes, size_t size);
};

// Converts ElementCount elements of a valid type between a block's byte
// order and this machine's (element by element: SHORT as 16 bits, RATIONAL as
// two 32-bit halves, DOUBLE as 64 bits ...).
void DecodeValue(uint16_t type, const uint8_t* source, size_t size, TByteOrder order, uint8_t* target);
void EncodeValue(uint16_t type, const uint8_t* source, size_t size, TByteOrder order, uint8_t* target);
