#pragma once

#include "edit/exif/exif_tag.h"

#include <cstdint>
#include <vector>

enum TExifSectionKind { esGeneral, esDetails, esInterop, esGPS, esThumbnail, esMakerNote, esUserDefined };

// Tag IDs this code treats specially.
namespace ExifTagID {
constexpr uint16_t ImageWidth = 0x0100;
constexpr uint16_t ImageLength = 0x0101;
constexpr uint16_t Compression = 0x0103;
constexpr uint16_t StripOffsets = 0x0111;
constexpr uint16_t Orientation = 0x0112;
constexpr uint16_t StripByteCounts = 0x0117;
constexpr uint16_t FreeOffsets = 0x0120;
constexpr uint16_t FreeByteCounts = 0x0121;
constexpr uint16_t TileOffsets = 0x0144;
constexpr uint16_t TileByteCounts = 0x0145;
constexpr uint16_t SubIFDs = 0x014A;
constexpr uint16_t GlobalParametersIFD = 0x0190;
constexpr uint16_t ThumbnailOffset = 0x0201;
constexpr uint16_t ThumbnailSize = 0x0202;
constexpr uint16_t XMP = 0x02BC;
constexpr uint16_t ExifPointer = 0x8769;
constexpr uint16_t GPSPointer = 0x8825;
constexpr uint16_t MakerNote = 0x927C;
constexpr uint16_t PixelXDimension = 0xA002;
constexpr uint16_t PixelYDimension = 0xA003;
constexpr uint16_t InteropPointer = 0xA005;
constexpr uint16_t Padding = 0xEA1C;
constexpr uint16_t OffsetSchema = 0xEA1D;
}  // namespace ExifTagID

// The tags of one directory, sorted by ascending ID, at most one per ID.
class TExifSection {
public:
  explicit TExifSection(TExifSectionKind kind = esUserDefined) : FKind(kind) {}

  TExifSectionKind Kind() const { return FKind; }
  const std::vector<TExifTag>& Tags() const { return FTags; }
  size_t Count() const { return FTags.size(); }
  bool IsEmpty() const { return FTags.empty(); }

  const TExifTag* Find(uint16_t id) const;
  TExifTag* Find(uint16_t id);
  // Inserts the tag in ID order, replacing a tag with the same ID.
  TExifTag& SetTag(TExifTag tag);
  bool Remove(uint16_t id);
  void Clear() { FTags.clear(); }
  // Replaces the list by tags as read from a directory: sorted by ID, the
  // first tag of each ID kept.
  void Assign(std::vector<TExifTag> tags);

private:
  TExifSectionKind FKind;
  std::vector<TExifTag> FTags;
};

// Sets a size in pixels: a tag that is a single SHORT stays one while the
// value fits in 16 bits; otherwise, or when absent, it becomes a single LONG.
void SetSizeTag(TExifSection& section, uint16_t id, uint32_t value);
