#include "decoder/tiff_directory.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace decoder {

namespace {

constexpr std::uint16_t TagBitsPerSample = 258;
constexpr std::uint16_t TagPhotometric = 262;
constexpr std::uint16_t TagTileWidth = 322;
constexpr std::uint16_t TagExifDirectory = 0x8769;
constexpr std::uint16_t TagIccProfile = 0x8773;
constexpr std::uint16_t TypeByte = 1, TypeShort = 3, TypeUndefined = 7;
// libtiff reads no more entries than this either.
constexpr std::uint64_t MaxEntries = 65535;
// Beyond any colour profile made for real use.
constexpr std::uint64_t MaxProfileBytes = 64u << 20;

class TTiffReader {
public:
  TTiffReader(const TReadAt& read, std::uint64_t fileSize) : FRead(read), FSize(fileSize) {}

  bool Header(std::uint64_t& first) {
    std::uint8_t head[16];
    if (!Bytes(0, head, 8)) return false;
    if (head[0] == 'I' && head[1] == 'I')
      FBigEndian = false;
    else if (head[0] == 'M' && head[1] == 'M')
      FBigEndian = true;
    else
      return false;
    const unsigned magic = unsigned(Number(head + 2, 2));
    if (magic == 42) {
      first = Number(head + 4, 4);
      return true;
    }
    if (magic != 43 || Number(head + 4, 2) != 8 || !Bytes(8, head + 8, 8)) return false;
    FBig = true;
    first = Number(head + 8, 8);
    return true;
  }

  bool Big() const { return FBig; }
  unsigned OffsetSize() const { return FBig ? 8 : 4; }
  unsigned EntrySize() const { return FBig ? 20 : 12; }

  bool Bytes(std::uint64_t offset, void* out, std::size_t size) const {
    return offset <= FSize && size <= FSize - offset && FRead(offset, out, size);
  }
  std::uint64_t Number(const std::uint8_t* p, unsigned size) const {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i) value |= std::uint64_t(p[FBigEndian ? size - 1 - i : i]) << (8 * i);
    return value;
  }
  bool NumberAt(std::uint64_t offset, unsigned size, std::uint64_t& value) const {
    std::uint8_t bytes[8];
    if (!Bytes(offset, bytes, size)) return false;
    value = Number(bytes, size);
    return true;
  }
  std::uint64_t Size() const { return FSize; }

private:
  const TReadAt& FRead;
  std::uint64_t FSize;
  bool FBigEndian = false;
  bool FBig = false;
};

}  // namespace

TTiffDirectoryFacts ReadTiffDirectoryFacts(const TReadAt& read, std::uint64_t fileSize, unsigned directory) {
  TTiffDirectoryFacts facts;
  TTiffReader tiff(read, fileSize);
  std::uint64_t offset = 0;
  if (!tiff.Header(offset)) return facts;
  const unsigned countSize = tiff.Big() ? 8 : 2;
  const unsigned word = tiff.OffsetSize(), entrySize = tiff.EntrySize();
  // Walks the chain; a chain that comes back to a directory it has passed
  // holds no more directories (libtiff refuses it too), so a page number far
  // beyond a looping chain costs no more than the chain's length.
  std::uint64_t entries = 0;
  std::set<std::uint64_t> passed;
  for (unsigned step = 0;; ++step) {
    if (offset == 0 || !passed.insert(offset).second || !tiff.NumberAt(offset, countSize, entries)) return facts;
    entries = std::min(entries, MaxEntries);
    if (step == directory) break;
    if (!tiff.NumberAt(offset + countSize + entries * entrySize, word, offset)) return facts;
  }
  std::vector<std::uint8_t> table(entries * entrySize);
  if (!tiff.Bytes(offset + countSize, table.data(), table.size())) return facts;
  facts.Found = true;
  bool exif = false;
  for (std::uint64_t i = 0; i < entries; ++i) {
    const std::uint8_t* entry = table.data() + i * entrySize;
    const auto tag = std::uint16_t(tiff.Number(entry, 2));
    const auto type = std::uint16_t(tiff.Number(entry + 2, 2));
    const std::uint64_t count = tiff.Number(entry + 4, word);
    const std::uint8_t* value = entry + 4 + word;
    const std::uint64_t entryOffset = offset + countSize + i * entrySize;
    if (tag == TagExifDirectory) {
      exif = true;
    } else if (tag == TagTileWidth) {
      facts.Tiled = true;
    } else if (tag == TagPhotometric && type == TypeShort && count >= 1) {
      facts.Photometric = unsigned(tiff.Number(value, 2));
    } else if (tag == TagBitsPerSample && type == TypeShort && count >= 1) {
      std::uint64_t first = 0;
      if (count * 2 <= word)
        first = tiff.Number(value, 2);
      else if (!tiff.NumberAt(tiff.Number(value, word), 2, first))
        first = 0;
      facts.BitsPerSample = unsigned(first);
    } else if (tag == TagIccProfile && (type == TypeByte || type == TypeUndefined) && count > 0 &&
               count <= MaxProfileBytes) {
      const std::uint64_t at = count <= word ? entryOffset + 4 + word : tiff.Number(value, word);
      if (at <= tiff.Size() && count <= tiff.Size() - at) {
        facts.CountOffset = entryOffset + 4;
        facts.CountSize = word;
        facts.ProfileOffset = at;
        facts.ProfileSize = count;
      }
    }
  }
  facts.ExifDirectory = exif;
  return facts;
}

std::vector<std::uint8_t> ReadTiffProfile(const TReadAt& read, const TTiffDirectoryFacts& facts) {
  std::vector<std::uint8_t> profile;
  if (!facts.CountSize) return profile;
  profile.resize(facts.ProfileSize);
  if (!read(facts.ProfileOffset, profile.data(), profile.size())) profile.clear();
  return profile;
}

std::vector<std::uint8_t> TiffIccProfile(std::span<const std::uint8_t> file, unsigned directory) {
  const TReadAt read = [file](std::uint64_t offset, void* out, std::size_t size) {
    if (offset > file.size() || size > file.size() - offset) return false;
    std::memcpy(out, file.data() + offset, size);
    return true;
  };
  return ReadTiffProfile(read, ReadTiffDirectoryFacts(read, file.size(), directory));
}

}  // namespace decoder
