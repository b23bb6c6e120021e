#include "edit/exif/exif_block.h"

#include "edit/exif/exif_errors.h"
#include "edit/exif/jpeg_segments.h"
#include "edit/exif/thumbnail_jpeg.h"
#include "edit/exif/tiff_writer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr int64_t MaxMakerNoteShift = 0x10000;

}  // namespace

bool RemovePaddingTag(TExifSection& section) {
  const TExifTag* tag = section.Find(ExifTagID::Padding);
  if (!tag || tag->DataType != tdUndefined || tag->ElementCount <= 1 || tag->Data.size() < 2 || tag->Data[0] != 0x1C ||
      tag->Data[1] != 0xEA)
    return false;
  return section.Remove(ExifTagID::Padding);
}

void SetThumbnailSizeTags(TExifSection& ifd1, std::span<const uint8_t> thumbnail) {
  if (!ifd1.Find(ExifTagID::ImageWidth) && !ifd1.Find(ExifTagID::ImageLength)) return;
  uint32_t width = 0, height = 0;
  try {
    if (!FindFrameSize(thumbnail, WalkJpegSegments(thumbnail), width, height)) return;
  } catch (const EExifError&) {
    return;
  }
  if (ifd1.Find(ExifTagID::ImageWidth)) SetSizeTag(ifd1, ExifTagID::ImageWidth, width);
  if (ifd1.Find(ExifTagID::ImageLength)) SetSizeTag(ifd1, ExifTagID::ImageLength, height);
}

int64_t MakerNoteShift(const TExifSection& details) {
  const TExifTag* note = details.Find(ExifTagID::MakerNote);
  const TExifTag* schema = details.Find(ExifTagID::OffsetSchema);
  if (!note || !schema || schema->DataType != tdSLong || schema->ElementCount != 1 || schema->Data.size() != 4)
    return 0;
  int32_t shift;
  std::memcpy(&shift, schema->Data.data(), 4);
  const int64_t offset = note->OriginalDataOffset, original = offset - shift;
  // Offsets below 8 would overwrite the header; a record of a move by more
  // than a JPEG segment can hold is not believable and would only inflate
  // the block with empty bytes.
  return original >= 8 && original <= offset + MaxMakerNoteShift ? shift : 0;
}

uint32_t KeptMakerNoteOffset(TExifSection& details) {
  const TExifTag* note = details.Find(ExifTagID::MakerNote);
  if (!note || note->OriginalDataOffset < 8 || TagValueSize(*note) <= 4) return 0;
  const int64_t shift = MakerNoteShift(details);
  if (shift) std::memset(details.Find(ExifTagID::OffsetSchema)->Data.data(), 0, 4);
  return uint32_t(int64_t(note->OriginalDataOffset) - shift);
}

uint64_t KeptMakerNoteSize(const TExifTag& note) { return TagValueSize(note) + note.TrailingBytes.size(); }

void EncodeKeptMakerNote(const TExifTag& note, TByteOrder order, uint8_t* target) {
  const uint64_t size = TagValueSize(note);
  std::memset(target, 0, size_t(size));
  EncodeValue(note.DataType, note.Data.data(), std::min<size_t>(note.Data.size(), size), order, target);
  std::copy(note.TrailingBytes.begin(), note.TrailingBytes.end(), target + size);
}

namespace {

// A pointer tag is present exactly when its directory holds tags.
void SetPointer(TExifSection& owner, uint16_t id, const TExifSection& target) {
  if (target.IsEmpty())
    owner.Remove(id);
  else
    owner.SetTag(TExifTag::MakeLong(id, 0));
}

void SetPointerValue(TExifSection& owner, uint16_t id, uint64_t offset) {
  if (TExifTag* tag = owner.Find(id)) *tag = TExifTag::MakeLong(id, uint32_t(offset));
}

struct TPlacedDirectory {
  const TExifSection* Section = nullptr;
  uint64_t Offset = 0, DirSize = 0, DataSize = 0;
};

}  // namespace

std::vector<uint8_t> WriteExifBlock(TExifBlock block, bool removePaddingTags, uint64_t maxSize) {
  TExifSection& general = block[esGeneral];
  TExifSection& details = block[esDetails];
  TExifSection& interop = block[esInterop];
  TExifSection& gps = block[esGPS];
  TExifSection& ifd1 = block[esThumbnail];

  // IFD0 is written whenever the data holds anything, even when nothing of
  // it ends up in a directory (IFD1 tags without their thumbnail).
  if (block.IsEmpty()) return {};
  if (removePaddingTags)
    for (TExifSection& section : block.Sections) RemovePaddingTag(section);

  const uint32_t makerNoteOffset = KeptMakerNoteOffset(details);
  TFixedValueOffsets detailsFixed;
  if (makerNoteOffset) detailsFixed[ExifTagID::MakerNote] = makerNoteOffset;

  // Inner directories first: the Exif directory may exist only for its
  // interoperability pointer.
  SetPointer(details, ExifTagID::InteropPointer, interop);
  SetPointer(general, ExifTagID::GPSPointer, gps);
  SetPointer(general, ExifTagID::ExifPointer, details);

  std::vector<uint8_t> thumbnail;
  if (!block.Thumbnail.empty()) thumbnail = PrepareThumbnail(block.Thumbnail);
  if (!thumbnail.empty()) {
    // A reduced thumbnail has a new size.
    if (JpegImageEnd(block.Thumbnail) > MaxThumbnailSize) SetThumbnailSizeTags(ifd1, thumbnail);
    ifd1.SetTag(TExifTag::MakeShort(ExifTagID::Compression, 6));
    ifd1.SetTag(TExifTag::MakeLong(ExifTagID::ThumbnailSize, uint32_t(thumbnail.size())));
    ifd1.SetTag(TExifTag::MakeLong(ExifTagID::ThumbnailOffset, 0));
  }

  TExifTag* makerNote = makerNoteOffset ? details.Find(ExifTagID::MakerNote) : nullptr;
  TTiffLayout layout(8);
  TPlacedDirectory ifd0Placed, detailsPlaced, interopPlaced, gpsPlaced, ifd1Placed;
  auto place = [&](const TExifSection& section, const TFixedValueOffsets& fixed, uint64_t extra) {
    TPlacedDirectory placed;
    placed.Section = &section;
    placed.DirSize = DirectorySize(section.Count());
    placed.DataSize = DataAreaSize(section.Tags(), fixed);
    placed.Offset = layout.Place(placed.DirSize + placed.DataSize + extra);
    return placed;
  };
  auto plan = [&] {
    layout = TTiffLayout(8);
    if (makerNote) layout.Reserve(makerNoteOffset, KeptMakerNoteSize(*makerNote));
    ifd0Placed = place(general, {}, 0);
    detailsPlaced = interopPlaced = gpsPlaced = ifd1Placed = TPlacedDirectory();
    if (!details.IsEmpty()) detailsPlaced = place(details, detailsFixed, 0);
    if (!interop.IsEmpty()) interopPlaced = place(interop, {}, 0);
    if (!gps.IsEmpty()) gpsPlaced = place(gps, {}, 0);
    if (!thumbnail.empty()) ifd1Placed = place(ifd1, {}, thumbnail.size());
  };
  const uint64_t limit = std::min<uint64_t>(maxSize, std::numeric_limits<uint32_t>::max());
  plan();
  // The margin kept after a maker note is only a guess: it goes before the
  // data is refused as too large.
  if (layout.End() > limit && makerNote && makerNote->TrailingBytes.size() > makerNote->TrailingBytesNeeded) {
    makerNote->TrailingBytes.resize(makerNote->TrailingBytesNeeded);
    plan();
  }
  if (layout.End() > limit)
    throw EExifDataTooLarge(maxSize < std::numeric_limits<uint32_t>::max() ? "EXIF data too large for a JPEG segment"
                                                                           : "EXIF data too large");

  SetPointerValue(general, ExifTagID::ExifPointer, detailsPlaced.Offset);
  SetPointerValue(general, ExifTagID::GPSPointer, gpsPlaced.Offset);
  SetPointerValue(details, ExifTagID::InteropPointer, interopPlaced.Offset);
  const uint64_t thumbnailOffset = ifd1Placed.Offset + ifd1Placed.DirSize + ifd1Placed.DataSize;
  if (!thumbnail.empty()) SetPointerValue(ifd1, ExifTagID::ThumbnailOffset, thumbnailOffset);

  std::vector<uint8_t> out(size_t(layout.End()), 0);
  const TByteOrder order = block.Order;
  out[0] = out[1] = order == boLittleEndian ? 'I' : 'M';
  PutWord(out.data() + 2, 42, order);
  PutLong(out.data() + 4, uint32_t(ifd0Placed.Offset), order);

  auto encode = [&](const TPlacedDirectory& placed, uint64_t next, const TFixedValueOffsets& fixed) {
    if (!placed.Section) return;
    EncodeDirectory(placed.Section->Tags(), order, uint32_t(placed.Offset), uint32_t(next), out.data() + placed.Offset,
                    fixed);
  };
  encode(ifd0Placed, ifd1Placed.Offset, {});
  encode(detailsPlaced, 0, detailsFixed);
  encode(interopPlaced, 0, {});
  encode(gpsPlaced, 0, {});
  encode(ifd1Placed, 0, {});
  if (!thumbnail.empty()) std::memcpy(out.data() + thumbnailOffset, thumbnail.data(), thumbnail.size());
  if (makerNote) EncodeKeptMakerNote(*makerNote, order, out.data() + makerNoteOffset);
  return out;
}
