#pragma once

#include <cstdint>
#include <vector>

namespace testimg {

// A 1 x 1 grey TIFF whose directory holds the private tag 65000, which
// libtiff reports as an unknown field on every read.
inline std::vector<std::uint8_t> TiffWithUnknownTag() {
  std::vector<std::uint8_t> b{'I', 'I', 42, 0, 8, 0, 0, 0};
  auto u16 = [&b](unsigned v) { b.push_back(v & 0xFF), b.push_back(v >> 8 & 0xFF); };
  auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
  struct Entry {
    unsigned tag, type, value;
  };
  const unsigned dataOffset = 8 + 2 + 10 * 12 + 4;
  const Entry entries[] = {{256, 3, 1},          {257, 3, 1}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                           {273, 4, dataOffset}, {277, 3, 1}, {278, 3, 1}, {279, 4, 1}, {65000, 3, 7}};
  u16(10);
  for (const Entry& e : entries) {
    u16(e.tag), u16(e.type), u32(1);
    e.type == 3 ? (u16(e.value), u16(0)) : u32(e.value);
  }
  u32(0);
  b.push_back(0x80);
  return b;
}

}  // namespace testimg
