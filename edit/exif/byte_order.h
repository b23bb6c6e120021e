#pragma once

#include <cstdint>

// Byte order of a TIFF block: 49 49 ("II") little-endian, 4D 4D ("MM")
// big-endian.
enum TByteOrder { boLittleEndian, boBigEndian };

inline uint16_t GetWord(const uint8_t* p, TByteOrder order) {
  return order == boLittleEndian ? uint16_t(p[0] | p[1] << 8) : uint16_t(p[0] << 8 | p[1]);
}

inline uint32_t GetLong(const uint8_t* p, TByteOrder order) {
  if (order == boLittleEndian)
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline uint64_t GetQuad(const uint8_t* p, TByteOrder order) {
  const uint64_t first = GetLong(p, order), second = GetLong(p + 4, order);
  return order == boLittleEndian ? second << 32 | first : first << 32 | second;
}

inline void PutWord(uint8_t* p, uint16_t value, TByteOrder order) {
  if (order == boLittleEndian) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
  } else {
    p[0] = uint8_t(value >> 8);
    p[1] = uint8_t(value);
  }
}

inline void PutLong(uint8_t* p, uint32_t value, TByteOrder order) {
  if (order == boLittleEndian) {
    PutWord(p, uint16_t(value), order);
    PutWord(p + 2, uint16_t(value >> 16), order);
  } else {
    PutWord(p, uint16_t(value >> 16), order);
    PutWord(p + 2, uint16_t(value), order);
  }
}

inline void PutQuad(uint8_t* p, uint64_t value, TByteOrder order) {
  if (order == boLittleEndian) {
    PutLong(p, uint32_t(value), order);
    PutLong(p + 4, uint32_t(value >> 32), order);
  } else {
    PutLong(p, uint32_t(value >> 32), order);
    PutLong(p + 4, uint32_t(value), order);
  }
}
