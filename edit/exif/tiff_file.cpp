#include "edit/exif/tiff_file.h"

#include "edit/exif/exif_errors.h"
#include "edit/exif/tiff_image_data.h"
#include "edit/exif/tiff_reader.h"
#include "edit/exif/tiff_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <set>

bool IsTiffFileGeneralTag(const TExifTag& tag) {
  switch (tag.ID) {
    case 270:
    case 271:
    case 272:
    case 274:
    case 282:
    case 283:
    case 296:
    case 305:
    case 306:
    case 315:
    case 318:
    case 319:
    case 529:
    case 531:
    case 532:
    case 0x8298:
    case 0x83BB:
    case 0x8769:
    case 0x8825:
    case 0xC4A5: return true;
    case 0x4746:
    case 0x9C9B:
    case 0x9C9C:
    case 0x9C9D:
    case 0x9C9E:
    case 0x9C9F:
    case 0xEA1C: return tag.DataType == tdByte;
    default: return false;
  }
}

void KeepTiffFileGeneralTags(TExifSection& general) {
  std::vector<TExifTag> kept;
  for (const TExifTag& tag : general.Tags())
    if (IsTiffFileGeneralTag(tag)) kept.push_back(tag);
  general.Assign(std::move(kept));
}

namespace {

constexpr size_t None = std::numeric_limits<size_t>::max();
constexpr int MaxDepth = 8;

// Offset tags of image data and the tags holding the byte counts.
struct TBlockPair {
  uint16_t Offsets, Counts;
};
constexpr TBlockPair BlockPairs[] = {
    {ExifTagID::StripOffsets, ExifTagID::StripByteCounts},
    {ExifTagID::TileOffsets, ExifTagID::TileByteCounts},
    {ExifTagID::FreeOffsets, ExifTagID::FreeByteCounts},
    {ExifTagID::ThumbnailOffset, ExifTagID::ThumbnailSize},
};

bool IsSubDirectoryPointer(const TExifTag& tag) {
  switch (tag.ID) {
    case ExifTagID::ExifPointer:
    case ExifTagID::GPSPointer:
    case ExifTagID::InteropPointer:
    case ExifTagID::SubIFDs:
    case ExifTagID::GlobalParametersIFD:
    case 0x8290:  // KodakIFD
    case 0xFE00:  // KDC_IFD
      return tag.IsInteger();
    default: return tag.DataType == tdSubDirectory;
  }
}

// Pointers into the file this rebuild does not know how to follow; moving
// the data around them would leave them pointing at the wrong bytes.
bool IsUnmovablePointer(const TExifTag& tag) {
  switch (tag.ID) {
    case 0x7200:  // Sony SR2Private
      return true;
    case 0xC634:  // DNGPrivateData as a pointer
      return tag.DataType != tdByte && tag.DataType != tdUndefined;
    case 0x0207:
    case 0x0208:
    case 0x0209:  // old-style JPEG Q, DC and AC table offsets
      return tag.IsInteger();
    default: return false;
  }
}

void RefuseUnmovable() { throw EUnsupportedTiffStructure("TIFF file holds data this program cannot move"); }

// The rebuild writes every directory anew from what was read of it, and
// moves exactly the bytes the strips and tiles name: a damaged entry would
// be written back empty, and bytes a reader takes beyond what the tags say
// would be left behind.
void RefuseDamagedTags() { throw EUnsupportedTiffStructure("TIFF file holds damaged tags this program cannot keep"); }

// Everything a directory's entries held is in what was read of it.
void RequireWhole(const TTiffDirectory& dir) {
  if (!dir.Whole) RefuseDamagedTags();
  std::set<uint16_t> ids;
  for (const TExifTag& tag : dir.Tags)
    if (!ids.insert(tag.ID).second) RefuseDamagedTags();  // only the first of two is kept
}

// A CR2 file keeps the offset of its raw directory in its header, after the
// 8 bytes of a plain TIFF header, where the rebuild puts IFD0.
bool HasExtendedHeader(const TTiffBlock& block) {
  return block.FirstDirectory != 8 && block.Bytes.size() >= 10 && block.Bytes[8] == 'C' && block.Bytes[9] == 'R';
}

struct TNode {
  TExifSection Tags;
  std::vector<std::pair<uint16_t, std::vector<size_t>>> Children;    // by pointer tag
  std::vector<std::pair<uint16_t, std::vector<TDataBlock>>> Blocks;  // by offsets tag
  TFixedValueOffsets Fixed;
  uint64_t Offset = 0, DirSize = 0, DataSize = 0;
  bool Placed = false;
};

void SetLongs(TExifTag& tag, const std::vector<uint64_t>& values, TTiffDataType type) {
  tag.DataType = type;
  tag.ElementCount = uint32_t(values.size());
  tag.Data.assign(values.size() * DataTypeSize(type), 0);
  for (size_t i = 0; i < values.size(); ++i) {
    if (type == tdShort) {
      const uint16_t v = uint16_t(values[i]);
      std::memcpy(tag.Data.data() + 2 * i, &v, 2);
    } else {
      const uint32_t v = uint32_t(values[i]);
      std::memcpy(tag.Data.data() + 4 * i, &v, 4);
    }
  }
}

class TTiffRebuilder {
public:
  TTiffRebuilder(std::span<const uint8_t> file) : FFile(file), FBlock(ParseTiffHeader(file)), FBudget(file.size()) {}

  TOutputPieces Run(TExifBlock& exif, const std::vector<uint8_t>* newXmp, bool removePaddingTags);

private:
  // A maker note read with a directory of the file stays where the EXIF
  // data's maker note stays when it is that same note; any other would move
  // away from the data its inner offsets count from.
  void KeepMakerNote(TNode& node, const TExifTag& note);
  bool IsDirectoryOffset(uint64_t offset) const { return offset >= 8 && offset + 2 <= FFile.size(); }
  size_t ReadNode(uint32_t offset, int depth, bool first, uint32_t* next = nullptr);
  void ReadBlocks(TNode& node);
  size_t AddExifNodes(TExifBlock& exif, size_t& gpsNode);
  // Two blocks of image data sharing bytes would each be copied whole.
  void RefuseOverlappingBlocks() const;
  // The Exif, GPS and interoperability directories come from the EXIF data,
  // which was read from them: they must have been read whole.
  void RequireWholeExifDirectories(const TExifSection& first) const;
  void Place(size_t index, TTiffLayout& layout, std::vector<size_t>& order);
  void Layout(uint32_t makerNoteOffset, uint64_t makerNoteSize);
  TOutputPieces Emit(const TExifTag* makerNote, uint32_t makerNoteOffset);

  std::span<const uint8_t> FFile;
  TTiffBlock FBlock;
  TTiffValueBudget FBudget;
  std::deque<TNode> FNodes;
  std::set<uint32_t> FVisited;
  std::vector<size_t> FChain;
  std::vector<size_t> FOrder;  // nodes in placement order
  uint64_t FEnd = 0;
  // The EXIF data's maker note when it is kept in place: its source offset
  // and size, where it is kept and how many bytes it takes there.
  uint32_t FMakerNoteSource = 0, FMakerNoteOffset = 0;
  uint64_t FMakerNoteSize = 0, FMakerNoteKeptSize = 0;
};

void TTiffRebuilder::KeepMakerNote(TNode& node, const TExifTag& note) {
  if (note.OriginalDataOffset == 0) return;  // stored in the entry
  if (!FMakerNoteOffset || note.OriginalDataOffset != FMakerNoteSource || TagValueSize(note) != FMakerNoteSize)
    RefuseUnmovable();
  node.Fixed[ExifTagID::MakerNote] = FMakerNoteOffset;
}

size_t TTiffRebuilder::ReadNode(uint32_t offset, int depth, bool first, uint32_t* next) {
  if (depth > MaxDepth || !FVisited.insert(offset).second) throw EInvalidTiffData();
  TTiffDirectory dir = ReadTiffDirectory(FBlock, offset, FBudget);
  RequireWhole(dir);
  if (next) *next = dir.NextOffset;
  const size_t index = FNodes.size();
  FNodes.emplace_back();
  FNodes[index].Tags.Assign(std::move(dir.Tags));

  std::vector<TExifTag> tags = FNodes[index].Tags.Tags();
  for (const TExifTag& tag : tags) {
    if (IsUnmovablePointer(tag)) RefuseUnmovable();
    if (tag.ID == ExifTagID::MakerNote) KeepMakerNote(FNodes[index], tag);
    if (!IsSubDirectoryPointer(tag)) continue;
    // The general tags of the first directory, the Exif and GPS pointers
    // among them, come from the EXIF data instead.
    if (first && IsTiffFileGeneralTag(tag)) continue;
    std::vector<size_t> children;
    for (uint32_t i = 0; i < tag.ElementCount; ++i) {
      const uint32_t childOffset = tag.ElementAsUInt(i);
      if (IsDirectoryOffset(childOffset)) children.push_back(ReadNode(childOffset, depth + 1, false));
    }
    TNode& node = FNodes[index];
    if (children.empty()) {
      node.Tags.Remove(tag.ID);
      continue;
    }
    TExifTag* pointer = node.Tags.Find(tag.ID);
    SetLongs(*pointer, std::vector<uint64_t>(children.size(), 0),
             tag.DataType == tdSubDirectory ? tdSubDirectory : tdLong);
    node.Children.emplace_back(tag.ID, std::move(children));
  }
  ReadBlocks(FNodes[index]);
  return index;
}

void TTiffRebuilder::ReadBlocks(TNode& node) {
  for (const TBlockPair& pair : BlockPairs) {
    TExifTag* offsets = node.Tags.Find(pair.Offsets);
    if (!offsets) continue;
    const TExifTag* counts = node.Tags.Find(pair.Counts);
    if (!counts || !offsets->IsInteger() || !counts->IsInteger() || counts->ElementCount != offsets->ElementCount)
      throw EInvalidTiffData();
    std::vector<TDataBlock> blocks(offsets->ElementCount);
    for (uint32_t i = 0; i < offsets->ElementCount; ++i) {
      blocks[i].Source = offsets->ElementAsUInt(i);
      blocks[i].Size = counts->ElementAsUInt(i);
      if (blocks[i].Size && blocks[i].Source + blocks[i].Size > FFile.size()) throw EInvalidTiffData();
    }
    if (pair.Offsets == ExifTagID::StripOffsets || pair.Offsets == ExifTagID::TileOffsets)
      CheckImageData(node.Tags, blocks, pair.Offsets == ExifTagID::TileOffsets);
    if (offsets->DataType != tdShort && offsets->DataType != tdLong)
      SetLongs(*offsets, std::vector<uint64_t>(blocks.size(), 0), tdLong);
    node.Blocks.emplace_back(pair.Offsets, std::move(blocks));
  }
}

void TTiffRebuilder::RefuseOverlappingBlocks() const {
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (const TNode& node : FNodes)
    for (const auto& [id, blocks] : node.Blocks)
      for (const TDataBlock& block : blocks)
        if (block.Size) ranges.emplace_back(block.Source, block.Source + block.Size);
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i)
    if (ranges[i].first < ranges[i - 1].second) RefuseImageData();
}

void TTiffRebuilder::RequireWholeExifDirectories(const TExifSection& first) const {
  TTiffValueBudget budget(FFile.size());
  auto check = [&](uint32_t offset) {
    TTiffDirectory dir;
    if (IsDirectoryOffset(offset)) {
      dir = ReadTiffDirectory(FBlock, offset, budget);
      RequireWhole(dir);
    }
    TExifSection section;
    section.Assign(std::move(dir.Tags));
    return section;
  };
  const TExifSection details = check(PointerValue(first.Find(ExifTagID::ExifPointer)));
  check(PointerValue(details.Find(ExifTagID::InteropPointer)));
  check(PointerValue(first.Find(ExifTagID::GPSPointer)));
}

// The Exif directory (with its interoperability directory) and the GPS
// directory of the EXIF data; None when they hold no tags.
size_t TTiffRebuilder::AddExifNodes(TExifBlock& exif, size_t& gpsNode) {
  TExifSection& details = exif[esDetails];
  TExifSection& interop = exif[esInterop];
  size_t interopNode = None, exifNode = None;
  gpsNode = None;
  interop.Remove(ExifTagID::InteropPointer);
  if (!interop.IsEmpty()) {
    interopNode = FNodes.size();
    FNodes.emplace_back().Tags = interop;
    details.SetTag(TExifTag::MakeLong(ExifTagID::InteropPointer, 0));
  } else {
    details.Remove(ExifTagID::InteropPointer);
  }
  if (!details.IsEmpty()) {
    exifNode = FNodes.size();
    TNode& node = FNodes.emplace_back();
    if (FMakerNoteOffset) node.Fixed[ExifTagID::MakerNote] = FMakerNoteOffset;
    node.Tags = details;
    if (interopNode != None) node.Children.push_back({ExifTagID::InteropPointer, {interopNode}});
  }
  if (!exif[esGPS].IsEmpty()) {
    gpsNode = FNodes.size();
    FNodes.emplace_back().Tags = exif[esGPS];
  }
  return exifNode;
}

void TTiffRebuilder::Place(size_t index, TTiffLayout& layout, std::vector<size_t>& order) {
  TNode& node = FNodes[index];
  if (node.Placed) return;
  node.Placed = true;
  node.DirSize = DirectorySize(node.Tags.Count());
  node.DataSize = DataAreaSize(node.Tags.Tags(), node.Fixed);
  node.Offset = layout.Place(node.DirSize + node.DataSize);
  order.push_back(index);
  for (const auto& [id, children] : node.Children)
    for (size_t child : children) Place(child, layout, order);
}

void TTiffRebuilder::Layout(uint32_t makerNoteOffset, uint64_t makerNoteSize) {
  // A SHORT offset tag that cannot hold a new offset becomes LONG, which
  // changes the directory sizes, so the layout is made again.
  for (bool again = true; again;) {
    again = false;
    TTiffLayout layout(8);
    if (makerNoteOffset) layout.Reserve(makerNoteOffset, makerNoteSize);
    for (TNode& node : FNodes) node.Placed = false;
    FOrder.clear();
    for (size_t index : FChain) Place(index, layout, FOrder);
    for (size_t index : FOrder)
      for (auto& [id, blocks] : FNodes[index].Blocks)
        for (TDataBlock& block : blocks) block.Offset = block.Size ? layout.Place(block.Size) : 0;
    FEnd = layout.End();
    if (FEnd > std::numeric_limits<uint32_t>::max()) throw EExifDataTooLarge("TIFF file too large");

    for (size_t index : FOrder) {
      TNode& node = FNodes[index];
      for (const auto& [id, blocks] : node.Blocks) {
        TExifTag* tag = node.Tags.Find(id);
        if (!tag) continue;
        std::vector<uint64_t> offsets;
        for (const TDataBlock& block : blocks) offsets.push_back(block.Offset);
        const bool fitsShort = std::all_of(offsets.begin(), offsets.end(), [](uint64_t v) { return v <= 0xFFFF; });
        if (tag->DataType == tdShort && !fitsShort) again = true;
        SetLongs(*tag, offsets, tag->DataType == tdShort && fitsShort ? tdShort : tdLong);
      }
      for (const auto& [id, children] : node.Children) {
        TExifTag* tag = node.Tags.Find(id);
        if (!tag) continue;
        std::vector<uint64_t> offsets;
        for (size_t child : children) offsets.push_back(FNodes[child].Offset);
        SetLongs(*tag, offsets, tag->DataType);
      }
    }
  }
}

TOutputPieces TTiffRebuilder::Emit(const TExifTag* makerNote, uint32_t makerNoteOffset) {
  struct TItem {
    uint64_t Offset;
    std::span<const uint8_t> Source;  // empty: Owned
    size_t Owned;
  };
  std::vector<TItem> items;
  std::vector<std::vector<uint8_t>> owned;
  const TByteOrder order = FBlock.Order;

  std::vector<uint8_t> header(8);
  header[0] = header[1] = order == boLittleEndian ? 'I' : 'M';
  PutWord(header.data() + 2, 42, order);
  PutLong(header.data() + 4, uint32_t(FNodes[FChain.front()].Offset), order);
  owned.push_back(std::move(header));
  items.push_back({0, {}, 0});

  std::vector<uint64_t> nextOffsets(FNodes.size(), 0);
  for (size_t i = 0; i + 1 < FChain.size(); ++i) nextOffsets[FChain[i]] = FNodes[FChain[i + 1]].Offset;

  for (size_t index : FOrder) {
    const TNode& node = FNodes[index];
    const uint64_t next = nextOffsets[index];
    std::vector<uint8_t> bytes(size_t(node.DirSize + node.DataSize));
    EncodeDirectory(node.Tags.Tags(), order, uint32_t(node.Offset), uint32_t(next), bytes.data(), node.Fixed);
    owned.push_back(std::move(bytes));
    items.push_back({node.Offset, {}, owned.size() - 1});
    for (const auto& [id, blocks] : node.Blocks)
      for (const TDataBlock& block : blocks)
        if (block.Size) items.push_back({block.Offset, FFile.subspan(block.Source, block.Size), 0});
  }
  if (makerNoteOffset) {
    std::vector<uint8_t> bytes(size_t(KeptMakerNoteSize(*makerNote)));
    EncodeKeptMakerNote(*makerNote, order, bytes.data());
    owned.push_back(std::move(bytes));
    items.push_back({makerNoteOffset, {}, owned.size() - 1});
  }

  std::sort(items.begin(), items.end(), [](const TItem& a, const TItem& b) { return a.Offset < b.Offset; });
  TOutputPieces out;
  uint64_t pos = 0;
  for (const TItem& item : items) {
    out.AppendZeros(item.Offset - pos);
    if (item.Source.empty()) {
      pos = item.Offset + owned[item.Owned].size();
      out.Append(std::move(owned[item.Owned]));
    } else {
      pos = item.Offset + item.Source.size();
      out.Append(item.Source);
    }
  }
  out.AppendZeros(FEnd - pos);
  return out;
}

TOutputPieces TTiffRebuilder::Run(TExifBlock& exif, const std::vector<uint8_t>* newXmp, bool removePaddingTags) {
  if (!IsDirectoryOffset(FBlock.FirstDirectory)) throw EInvalidTiffData();
  if (HasExtendedHeader(FBlock)) RefuseUnmovable();
  if (removePaddingTags)
    for (TExifSection& section : exif.Sections) RemovePaddingTag(section);
  // The EXIF data's directories are written from their tags: a directory
  // pointer among them other than those set here would keep a stale offset.
  for (TExifSectionKind kind : {esDetails, esInterop, esGPS})
    for (const TExifTag& tag : exif[kind].Tags())
      if ((tag.DataType == tdSubDirectory && tag.ID != ExifTagID::InteropPointer) || IsUnmovablePointer(tag))
        RefuseUnmovable();
  TExifSection& details = exif[esDetails];
  if ((FMakerNoteOffset = KeptMakerNoteOffset(details))) {
    const TExifTag& note = *details.Find(ExifTagID::MakerNote);
    FMakerNoteSource = note.OriginalDataOffset;
    FMakerNoteSize = TagValueSize(note);
    FMakerNoteKeptSize = KeptMakerNoteSize(note);
  }

  // The chain of top-level directories; a loop ends it.
  for (uint32_t offset = FBlock.FirstDirectory; IsDirectoryOffset(offset) && !FVisited.contains(offset);) {
    uint32_t next = 0;
    FChain.push_back(ReadNode(offset, 0, FChain.empty(), &next));
    offset = next;
  }

  RefuseOverlappingBlocks();
  RequireWholeExifDirectories(FNodes[FChain.front()].Tags);

  size_t gpsNode = None;
  const size_t exifNode = AddExifNodes(exif, gpsNode);

  // The first directory: its own tags except the general ones, which come
  // from the EXIF data (the orientation among them).
  TNode& first = FNodes[FChain.front()];
  std::vector<TExifTag> tags;
  for (const TExifTag& tag : first.Tags.Tags())
    if (!IsTiffFileGeneralTag(tag) && tag.ID != ExifTagID::ExifPointer && tag.ID != ExifTagID::GPSPointer)
      tags.push_back(tag);
  for (const TExifTag& tag : exif[esGeneral].Tags())
    if (tag.ID != ExifTagID::ExifPointer && tag.ID != ExifTagID::GPSPointer) tags.push_back(tag);
  if (newXmp) {
    const TExifTag* old = first.Tags.Find(ExifTagID::XMP);
    const TTiffDataType type = old && old->DataType == tdUndefined ? tdUndefined : tdByte;
    std::erase_if(tags, [](const TExifTag& tag) { return tag.ID == ExifTagID::XMP; });
    tags.push_back(TExifTag::MakeBytes(ExifTagID::XMP, type, newXmp->data(), newXmp->size()));
  }
  first.Tags.Assign(std::move(tags));

  // Every top-level directory without Exif or GPS directories of its own
  // gets those of the EXIF data.
  for (size_t i = 0; i < FChain.size(); ++i) {
    TNode& node = FNodes[FChain[i]];
    auto attach = [&](uint16_t id, size_t child) {
      if (child == None || node.Tags.Find(id)) return;
      node.Tags.SetTag(TExifTag::MakeLong(id, 0));
      node.Children.push_back({id, {child}});
    };
    attach(ExifTagID::ExifPointer, exifNode);
    attach(ExifTagID::GPSPointer, gpsNode);
  }

  const TExifTag* makerNote = FMakerNoteOffset ? FNodes[exifNode].Tags.Find(ExifTagID::MakerNote) : nullptr;
  Layout(FMakerNoteOffset, FMakerNoteKeptSize);
  return Emit(makerNote, FMakerNoteOffset);
}

}  // namespace

TOutputPieces RewriteTiff(std::span<const uint8_t> file, TExifBlock exif, const std::vector<uint8_t>* newXmp,
                          bool removePaddingTags) {
  return TTiffRebuilder(file).Run(exif, newXmp, removePaddingTags);
}
