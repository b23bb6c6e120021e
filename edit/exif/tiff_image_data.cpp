#include "edit/exif/tiff_image_data.h"

#include "edit/exif/exif_errors.h"

#include <algorithm>
#include <limits>
#include <optional>

void RefuseImageData() { throw EUnsupportedTiffStructure("TIFF image data does not match its strip or tile tags"); }

namespace {

constexpr uint16_t PhotometricTag = 0x0106, BitsPerSampleTag = 0x0102, SamplesPerPixelTag = 0x0115,
                   RowsPerStripTag = 0x0116, PlanarConfigurationTag = 0x011C, TileWidthTag = 0x0142,
                   TileLengthTag = 0x0143, YCbCrSubSamplingTag = 0x0212, ImageDepthTag = 0x80E5;

uint64_t Times(uint64_t a, uint64_t b) {
  return b && a > std::numeric_limits<uint64_t>::max() / b ? std::numeric_limits<uint64_t>::max() : a * b;
}

uint64_t DivideUp(uint64_t a, uint64_t b) { return a / b + (a % b ? 1 : 0); }

// One element of a tag that lays out the picture: absent when the tag is
// missing, nothing when it holds no usable number.
std::optional<uint64_t> LayoutNumber(const TExifSection& tags, uint16_t id, uint64_t absent, uint32_t index = 0) {
  const TExifTag* tag = tags.Find(id);
  if (!tag) return absent;
  if (!tag->IsInteger() || tag->ElementCount == 0) return std::nullopt;
  return tag->ElementAsUInt(std::min(index, tag->ElementCount - 1));
}

}  // namespace

void CheckImageData(const TExifSection& tags, const std::vector<TDataBlock>& blocks, bool tiled) {
  for (const TDataBlock& block : blocks)
    if (block.Size == 0) RefuseImageData();
  const auto width = LayoutNumber(tags, ExifTagID::ImageWidth, 0),
             length = LayoutNumber(tags, ExifTagID::ImageLength, 0),
             samples = LayoutNumber(tags, SamplesPerPixelTag, 1),
             planar = LayoutNumber(tags, PlanarConfigurationTag, 1), depth = LayoutNumber(tags, ImageDepthTag, 1);
  if (!width || !length || !samples || !planar || !depth || !*width || !*length || !*samples || *depth != 1) return;
  const uint64_t planes = *planar == 2 ? *samples : 1;

  uint64_t blockWidth, blockRows, across, down;
  if (tiled) {
    const auto tileWidth = LayoutNumber(tags, TileWidthTag, 0), tileLength = LayoutNumber(tags, TileLengthTag, 0);
    if (!tileWidth || !tileLength || !*tileWidth || !*tileLength) return;
    blockWidth = *tileWidth;
    blockRows = *tileLength;
    across = DivideUp(*width, blockWidth);
    down = DivideUp(*length, blockRows);
  } else {
    const auto rowsPerStrip = LayoutNumber(tags, RowsPerStripTag, std::numeric_limits<uint32_t>::max());
    if (!rowsPerStrip) return;
    if (*rowsPerStrip == 0) RefuseImageData();
    blockWidth = *width;
    blockRows = std::min(*rowsPerStrip, *length);
    across = 1;
    down = DivideUp(*length, blockRows);
  }
  const uint64_t perPlane = Times(across, down);
  if (Times(perPlane, planes) != blocks.size()) RefuseImageData();

  // Only uncompressed data has a known size (subsampled YCbCr aside).
  const auto compression = LayoutNumber(tags, ExifTagID::Compression, 1);
  const auto photometric = LayoutNumber(tags, PhotometricTag, 0);
  const bool subsampled =
      LayoutNumber(tags, YCbCrSubSamplingTag, 2, 0) != 1u || LayoutNumber(tags, YCbCrSubSamplingTag, 2, 1) != 1u;
  const auto bits = LayoutNumber(tags, BitsPerSampleTag, 1);
  if (!compression || *compression != 1 || !photometric || (*photometric == 6 && subsampled) || !bits) return;
  const uint64_t rowBytes = DivideUp(Times(Times(blockWidth, *bits), planes == 1 ? *samples : 1), 8);
  for (size_t i = 0; i < blocks.size(); ++i) {
    const uint64_t row = (i % perPlane) / across;  // of blocks, within the plane
    const uint64_t rows = tiled ? blockRows : std::min(blockRows, *length - row * blockRows);
    if (blocks[i].Size < Times(rows, rowBytes)) RefuseImageData();
  }
}
