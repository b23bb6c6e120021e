#include "edit/exif/maker_note.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The furthest a note may reach past its declared end; anything further is
// other data of the file, not part of the note.
constexpr uint64_t MaxReach = 0x10000;
constexpr uint32_t MaxEntries = 1000;
constexpr int MaxDepth = 3;
constexpr int MaxDirectories = 64;

// Makers whose notes hold sub-directories or preview images this reader
// follows.
enum TNoteFamily { nfOther, nfNikon, nfOlympus, nfPentax };

struct TNoteLayout {
  TNoteFamily Family = nfOther;
  uint64_t Directory = 0;  // offset of the directory in the note
  // Offsets count from the TIFF block, or from Base within the note.
  bool FromBlock = true;
  uint64_t Base = 0;
  std::optional<TByteOrder> Order;  // unknown: the block's, else the other
  bool Known = true;                // a layout of a known maker
};

bool StartsWith(std::span<const uint8_t> note, std::string_view prefix) {
  return note.size() >= prefix.size() && std::memcmp(note.data(), prefix.data(), prefix.size()) == 0;
}

std::optional<TByteOrder> OrderMark(std::span<const uint8_t> note, size_t at) {
  if (note.size() < at + 2) return std::nullopt;
  if (note[at] == 'I' && note[at + 1] == 'I') return boLittleEndian;
  if (note[at] == 'M' && note[at + 1] == 'M') return boBigEndian;
  return std::nullopt;
}

TNoteLayout Layout(TNoteFamily family, uint64_t directory, bool fromBlock, uint64_t base = 0,
                   std::optional<TByteOrder> order = std::nullopt) {
  TNoteLayout layout;
  layout.Family = family;
  layout.Directory = directory;
  layout.FromBlock = fromBlock;
  layout.Base = base;
  layout.Order = order;
  return layout;
}

// The layout of the note by its signature, or by the make for notes that
// start with their directory; nullopt for notes that hold no directory.
std::optional<TNoteLayout> FindLayout(std::span<const uint8_t> note, std::string_view make) {
  using namespace std::string_view_literals;
  if (StartsWith(note, "Nikon\0\x02"sv)) {
    // A TIFF header of its own at 10; offsets count from it.
    const std::optional<TByteOrder> order = OrderMark(note, 10);
    if (!order || note.size() < 18) return std::nullopt;
    return Layout(nfNikon, 10 + uint64_t(GetLong(note.data() + 14, *order)), false, 10, order);
  }
  if (StartsWith(note, "Nikon\0\x01"sv)) return Layout(nfOther, 8, true);
  if (StartsWith(note, "OLYMPUS\0"sv)) return Layout(nfOlympus, 12, false, 0, OrderMark(note, 8));
  if (StartsWith(note, "OM SYSTEM\0"sv)) return Layout(nfOlympus, 16, false, 0, OrderMark(note, 12));
  for (std::string_view signature : {"OLYMP\0"sv, "EPSON\0"sv, "MINOL\0"sv, "CAMER\0"sv})
    if (StartsWith(note, signature)) return Layout(nfOlympus, 8, true);
  if (StartsWith(note, "AOC\0"sv)) return Layout(nfPentax, 6, true, 0, OrderMark(note, 4));
  if (StartsWith(note, "PENTAX \0"sv)) return Layout(nfPentax, 10, false, 0, OrderMark(note, 8));
  if (StartsWith(note, "RICOH\0"sv) && OrderMark(note, 6)) return Layout(nfPentax, 8, false, 0, OrderMark(note, 6));
  if (StartsWith(note, "Panasonic\0"sv)) return Layout(nfOther, 12, true);
  for (std::string_view signature : {"SONY DSC \0"sv, "SONY CAM \0"sv, "SONY MOBILE\0"sv})
    if (StartsWith(note, signature)) return Layout(nfOther, 12, true);
  if (StartsWith(note, "FUJIFILM"sv) || StartsWith(note, "GENERALE"sv)) {
    // Little-endian always, the directory's offset at 8.
    if (note.size() < 12) return std::nullopt;
    return Layout(nfOther, GetLong(note.data() + 8, boLittleEndian), false, 0, boLittleEndian);
  }
  if (StartsWith(note, "QVC\0"sv) || StartsWith(note, "DCI\0"sv)) return Layout(nfOther, 6, true);
  if (StartsWith(note, "SIGMA\0"sv) || StartsWith(note, "FOVEON\0"sv)) return Layout(nfOther, 10, true);
  if (StartsWith(note, "Apple iOS\0"sv)) return Layout(nfOther, 14, false, 0, OrderMark(note, 12));
  // Notes without a signature: a directory at the start, offsets from the
  // block. Other makers' notes with a signature of their own, or none of a
  // directory's shape, fall to the margin.
  TNoteLayout plain = Layout(nfOther, 0, true);
  for (std::string_view prefix :
       {"Canon"sv, "NIKON"sv, "Minolta"sv, "KONICA MINOLTA"sv, "Konica Minolta"sv, "SONY"sv, "CASIO"sv, "Asahi"sv})
    if (make.starts_with(prefix)) return plain;
  if (StartsWith(note, "LEICA"sv) || StartsWith(note, "KDK"sv) || StartsWith(note, "+M+M"sv)) return std::nullopt;
  plain.Known = false;
  return plain;
}

// Reads the note's directories and collects the ranges of the block they
// point at.
class TNoteReader {
public:
  TNoteReader(const TTiffBlock& block, uint64_t noteStart, uint64_t limit, const TNoteLayout& layout, TByteOrder order,
              int64_t shift)
      : FBlock(block),
        FNoteStart(noteStart),
        FLimit(limit),
        FLayout(layout),
        FOrder(order),
        FBase(layout.FromBlock ? shift : int64_t(noteStart + layout.Base)),
        FReach(noteStart) {}

  // Whether the directory at the note's start reads as one; the reach is
  // only kept then.
  bool Read() { return ReadDirectory(FNoteStart + FLayout.Directory, 0); }
  uint64_t Reach() const { return FReach; }

private:
  struct TEntry {
    uint16_t Tag, Type;
    uint32_t Count;
    uint64_t Size;
    uint32_t Value;  // the value itself when it fits, else its offset
    uint64_t At;     // the entry's offset in the block
  };

  int64_t Absolute(uint32_t value) const { return FBase + int64_t(value); }

  // A range the note owns, when it lies after the note's start and within
  // the limit.
  void Keep(std::vector<std::pair<uint64_t, uint64_t>>& ranges, int64_t start, uint64_t size) const {
    if (start < int64_t(FNoteStart) || uint64_t(start) + size > FLimit) return;
    ranges.emplace_back(uint64_t(start), uint64_t(start) + size);
  }

  bool ReadDirectory(uint64_t at, int depth);
  void ReadChildren(const std::vector<TEntry>& entries, int depth);
  void KeepPreview(const std::vector<TEntry>& entries, uint16_t startTag, uint16_t lengthTag,
                   std::vector<std::pair<uint64_t, uint64_t>>& ranges) const;

  const TTiffBlock& FBlock;
  uint64_t FNoteStart, FLimit;
  TNoteLayout FLayout;
  TByteOrder FOrder;
  int64_t FBase;
  uint64_t FReach;
  int FDirectories = 0;
};

bool TNoteReader::ReadDirectory(uint64_t at, int depth) {
  const uint64_t size = FBlock.Bytes.size();
  const uint8_t* bytes = FBlock.Bytes.data();
  if (depth > MaxDepth || ++FDirectories > MaxDirectories || at < FNoteStart || at + 2 > size) return false;
  const uint32_t count = GetWord(bytes + at, FOrder);
  // An empty sub-directory still owns its count and next-directory offset:
  // a directory written over them would be read as its content (and, by
  // readers that refuse to visit one place twice, not at all).
  if ((count == 0 && depth == 0) || count > MaxEntries || at + 2 + 12 * uint64_t(count) > size) return false;

  std::vector<TEntry> entries;
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  uint32_t bad = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = bytes + at + 2 + 12 * uint64_t(i);
    TEntry e{GetWord(entry, FOrder),     GetWord(entry + 2, FOrder), GetLong(entry + 4, FOrder), 0,
             GetLong(entry + 8, FOrder), at + 2 + 12 * uint64_t(i)};
    if (!IsValidDataType(e.Type)) {
      ++bad;
      continue;
    }
    e.Size = uint64_t(e.Count) * DataTypeSize(e.Type);
    if (e.Size > 4) {
      const int64_t value = Absolute(e.Value);
      if (value < 0 || uint64_t(value) + e.Size > size) {
        ++bad;
        continue;
      }
      Keep(ranges, value, e.Size);
    }
    entries.push_back(e);
  }
  // A few odd entries happen; mostly odd ones mean this is no directory (or
  // not in this byte order).
  if (4 * bad > count) return false;
  const uint64_t end = at + 2 + 12 * uint64_t(count);
  Keep(ranges, int64_t(at), end + 4 <= size ? end + 4 - at : end - at);
  if (FLayout.Family == nfOlympus) KeepPreview(entries, depth ? 0x0101 : 0x0088, depth ? 0x0102 : 0x0089, ranges);
  if (FLayout.Family == nfPentax && depth == 0) KeepPreview(entries, 0x0004, 0x0003, ranges);
  if (FLayout.Family == nfNikon && depth > 0) KeepPreview(entries, 0x0201, 0x0202, ranges);
  for (const auto& [start, stop] : ranges) FReach = std::max(FReach, stop);
  ReadChildren(entries, depth);
  return true;
}

// Sub-directories: entries typed as directories, Olympus' sub-directories
// (as pointers or stored as the value itself) and Nikon's preview and scan
// directories.
void TNoteReader::ReadChildren(const std::vector<TEntry>& entries, int depth) {
  for (const TEntry& e : entries) {
    const bool single = e.Count == 1 && (e.Type == tdLong || e.Type == tdSubDirectory);
    const bool child = (e.Type == tdSubDirectory && e.Count == 1) ||
                       (FLayout.Family == nfOlympus && e.Tag >= 0x2010 && e.Tag <= 0x5000 &&
                        (single || (e.Type == tdUndefined && e.Size > 4))) ||
                       (FLayout.Family == nfNikon && (e.Tag == 0x0011 || e.Tag == 0x0E10) && single);
    // For a value stored in place, Value is its offset: the directory itself.
    if (child) ReadDirectory(uint64_t(std::max<int64_t>(0, Absolute(e.Value))), depth + 1);
  }
}

// A preview image that a pair of entries places by offset and length.
void TNoteReader::KeepPreview(const std::vector<TEntry>& entries, uint16_t startTag, uint16_t lengthTag,
                              std::vector<std::pair<uint64_t, uint64_t>>& ranges) const {
  const TEntry *start = nullptr, *length = nullptr;
  for (const TEntry& e : entries) {
    const bool single = e.Count == 1 && (e.Type == tdLong || e.Type == tdShort);
    if (single && e.Tag == startTag) start = &e;
    if (single && e.Tag == lengthTag) length = &e;
  }
  if (!start || !length) return;
  auto value = [&](const TEntry& e) {
    return e.Type == tdShort ? uint32_t(GetWord(FBlock.Bytes.data() + e.At + 8, FOrder)) : e.Value;
  };
  if (const uint32_t size = value(*length)) Keep(ranges, Absolute(value(*start)), size);
}

}  // namespace

TMakerNoteExtent MakerNoteExtent(const TTiffBlock& block, uint32_t offset, uint64_t size, std::string_view make,
                                 int64_t shift) {
  const uint64_t blockSize = block.Bytes.size();
  if (offset >= blockSize || size > blockSize - offset) return {size, size};
  const uint64_t available = blockSize - offset;
  const uint64_t margin = std::min(size + MakerNoteMargin, available);
  const std::optional<TNoteLayout> layout = FindLayout(block.Bytes.subspan(offset, size), make);
  if (!layout) return {size, margin};

  const uint64_t limit = offset + std::min(size + MaxReach, available);
  std::vector<TByteOrder> orders;
  if (layout->Order) {
    orders = {*layout->Order};
  } else {
    const TByteOrder other = block.Order == boLittleEndian ? boBigEndian : boLittleEndian;
    orders = {block.Order, other};
  }
  for (TByteOrder order : orders) {
    TNoteReader reader(block, offset, limit, *layout, order, shift);
    if (!reader.Read()) continue;
    const uint64_t extent = std::max(size, reader.Reach() - offset);
    return {extent, layout->Known ? extent : std::max(extent, margin)};
  }
  return {size, margin};
}
