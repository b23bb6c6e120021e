#include "edit/exif/exif_block.h"

#include "edit/exif/tiff_reader.h"

bool TExifBlock::IsEmpty() const {
  if (!Thumbnail.empty()) return false;
  for (const TExifSection& section : Sections)
    if (!section.IsEmpty()) return false;
  return true;
}

namespace {

void ReadInto(const TTiffBlock& block, uint32_t offset, TTiffValueBudget& budget,
              TExifSection& section) {
  if (offset == 0) return;
  section.Assign(ReadTiffDirectory(block, offset, budget).Tags);
}

// The JPEG image that IFD1's offset and length tags describe, if there is one.
std::vector<uint8_t> ThumbnailOf(const TTiffBlock& block, const TExifSection& ifd1) {
  const TExifTag* offsetTag = ifd1.Find(ExifTagID::ThumbnailOffset);
  const TExifTag* lengthTag = ifd1.Find(ExifTagID::ThumbnailSize);
  if (!offsetTag || !lengthTag) return {};
  const uint64_t offset = PointerValue(offsetTag), length = PointerValue(lengthTag);
  if (offset < 8 || length < 2 || offset + length > block.Bytes.size()) return {};
  const uint8_t* start = block.Bytes.data() + offset;
  if (start[0] != 0xFF || start[1] != 0xD8) return {};
  return std::vector<uint8_t>(start, start + length);
}

}  // namespace

TExifBlock ReadExifBlock(std::span<const uint8_t> data) {
  const TTiffBlock block = ParseTiffHeader(data);
  TTiffValueBudget budget(block.Bytes.size());
  TExifBlock result;
  result.Order = block.Order;

  TTiffDirectory ifd0 = ReadTiffDirectory(block, block.FirstDirectory, budget);
  result[esGeneral].Assign(std::move(ifd0.Tags));
  if (ifd0.NextOffset != 0 && ifd0.NextOffset < block.Bytes.size()) {
    ReadInto(block, ifd0.NextOffset, budget, result[esThumbnail]);
    result.Thumbnail = ThumbnailOf(block, result[esThumbnail]);
  }
  ReadInto(block, PointerValue(result[esGeneral].Find(ExifTagID::ExifPointer)), budget, result[esDetails]);
  ReadInto(block, PointerValue(result[esGeneral].Find(ExifTagID::GPSPointer)), budget, result[esGPS]);
  ReadInto(block, PointerValue(result[esDetails].Find(ExifTagID::InteropPointer)), budget, result[esInterop]);
  return result;
}
