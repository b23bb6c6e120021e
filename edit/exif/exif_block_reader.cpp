#include "edit/exif/exif_block.h"

#include "edit/exif/maker_note.h"
#include "edit/exif/tiff_reader.h"
#include "edit/exif/tiff_writer.h"

#include <algorithm>

bool TExifBlock::IsEmpty() const {
  if (!Thumbnail.empty()) return false;
  for (const TExifSection& section : Sections)
    if (!section.IsEmpty()) return false;
  return true;
}

namespace {

void ReadInto(const TTiffBlock& block, uint32_t offset, TTiffValueBudget& budget, TExifSection& section) {
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

// IFD0's Make, up to its first zero byte.
std::string_view MakeOf(const TExifSection& ifd0) {
  const TExifTag* make = ifd0.Find(0x010F);
  if (!make || make->DataType != tdAscii) return {};
  const auto* text = reinterpret_cast<const char*>(make->Data.data());
  return std::string_view(text, std::find(text, text + make->Data.size(), '\0') - text);
}

// Takes along the bytes past the maker note's declared length that belong
// to it.
void KeepMakerNoteTrailer(const TTiffBlock& block, const TExifSection& ifd0, TExifSection& details) {
  TExifTag* note = details.Find(ExifTagID::MakerNote);
  if (!note || note->OriginalDataOffset < 8) return;
  const uint64_t size = TagValueSize(*note);
  if (size <= 4) return;
  const TMakerNoteExtent extent =
      MakerNoteExtent(block, note->OriginalDataOffset, size, MakeOf(ifd0), MakerNoteShift(details));
  const auto start = block.Bytes.begin() + std::ptrdiff_t(note->OriginalDataOffset);
  note->TrailingBytes.assign(start + std::ptrdiff_t(size), start + std::ptrdiff_t(extent.Kept));
  note->TrailingBytesNeeded = size_t(extent.Referenced - size);
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
  KeepMakerNoteTrailer(block, result[esGeneral], result[esDetails]);
  return result;
}
