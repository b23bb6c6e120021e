#pragma once

// A few facts of one directory of a TIFF file, read from the file itself:
// where its colour profile lies, and how its pixels are stored. FreeImage's
// TIFF decoder takes the profile of a directory with an EXIF sub-directory
// from memory libtiff has freed by the time it copies it (wrong colours, or
// a crash when the block was given back to the system), so the decoding
// worker hides the profile from it and gives the picture the file's own;
// the writers take it from here too. Classic and BigTIFF files; every
// offset is checked against the file before it is used.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace decoder {

// Reads size bytes at offset into out; false when they are not all there.
using TReadAt = std::function<bool(std::uint64_t offset, void* out, std::size_t size)>;

struct TTiffDirectoryFacts {
  bool Found = false;  // the directory was read
  // The profile tag's count field and the profile's bytes; CountSize 0 when
  // the directory has no profile of a sound size.
  std::uint64_t CountOffset = 0;
  unsigned CountSize = 0;  // 4, or 8 in a BigTIFF
  std::uint64_t ProfileOffset = 0;
  std::uint64_t ProfileSize = 0;
  bool ExifDirectory = false;  // it points to an EXIF sub-directory
  bool Tiled = false;
  unsigned Photometric = 0;  // 5: separated (CMYK)
  unsigned BitsPerSample = 0;
};

// Reads the directory-th directory (0 the first) of the chain of a file of
// fileSize bytes.
TTiffDirectoryFacts ReadTiffDirectoryFacts(const TReadAt& read, std::uint64_t fileSize, unsigned directory);

// The profile's bytes; empty when there is none or it cannot be read.
std::vector<std::uint8_t> ReadTiffProfile(const TReadAt& read, const TTiffDirectoryFacts& facts);

// The colour profile of the directory-th directory of a TIFF file in memory.
std::vector<std::uint8_t> TiffIccProfile(std::span<const std::uint8_t> file, unsigned directory = 0);

}  // namespace decoder
