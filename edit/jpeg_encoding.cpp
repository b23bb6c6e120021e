#include "edit/jpeg_encoding.h"

#include "edit/exif/exif_errors.h"
#include "edit/exif/jpeg_segments.h"

#include <FreeImage.h>

#include <algorithm>
#include <array>

namespace {

using TTable = std::array<int, 64>;

// The example tables of the JPEG standard that libjpeg scales by quality, in
// natural (row by row) order.
constexpr TTable StandardLuminance = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24,  40,  57,
    69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35,  55,  64,
    81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr TTable StandardChrominance = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Where the k-th value of a DQT segment (zig-zag order) sits in the block.
constexpr std::array<int, 64> NaturalOrder = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// libjpeg's jpeg_quality_scaling and jpeg_add_quant_table with baseline limits.
int ScaledEntry(int standard, int quality) {
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  return std::clamp((standard * scale + 50) / 100, 1, 255);
}

bool NoCoarser(const TTable& standard, const TTable& table, int quality) {
  for (int i = 0; i < 64; ++i)
    if (ScaledEntry(standard[i], quality) > table[i]) return false;
  return true;
}

bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsMetadataSegment(uint8_t marker) { return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE; }
constexpr uint8_t AdobeMarker = 0xEE;

}  // namespace

TJpegEncoding ReadJpegEncoding(std::span<const uint8_t> jpeg) {
  TJpegEncoding encoding;
  std::vector<TJpegSegment> segments;
  try {
    segments = WalkJpegSegments(jpeg);
  } catch (const EExifError&) {
    return encoding;
  }
  std::array<TTable, 4> tables{};
  std::array<bool, 4> defined{};
  int lumaTable = -1, chromaTable = -1;
  for (const TJpegSegment& segment : segments) {
    const uint8_t* data = jpeg.data() + segment.DataStart;
    if (segment.Marker == 0xDB) {
      for (size_t pos = 0; pos < segment.DataSize;) {
        const int precision = data[pos] >> 4, id = data[pos] & 15;
        const size_t size = precision ? 128 : 64;
        if (id > 3 || pos + 1 + size > segment.DataSize) break;
        for (int k = 0; k < 64; ++k)
          tables[id][NaturalOrder[k]] = precision ? data[pos + 1 + 2 * k] << 8 | data[pos + 2 + 2 * k] : data[pos + 1 + k];
        defined[id] = true;
        pos += 1 + size;
      }
    } else if (IsFrameHeader(segment.Marker) && segment.DataSize >= 6) {
      const int components = data[5];
      if (segment.DataSize < size_t(6 + 3 * components) || components < 1) return encoding;
      encoding.Progressive = segment.Marker == 0xC2 || segment.Marker == 0xC6 || segment.Marker == 0xCA ||
                             segment.Marker == 0xCE;
      lumaTable = data[8] & 3;
      if (components == 3) {
        chromaTable = data[11] & 3;
        const int h = data[7] >> 4, v = data[7] & 15, ch = data[10] >> 4, cv = data[10] & 15;
        if (ch > 0 && cv > 0 && h % ch == 0 && v % cv == 0) {
          const int across = h / ch, down = v / cv;
          if (across == 2 && down == 2) encoding.Subsampling = JPEG_SUBSAMPLING_420;
          else if (across == 2 && down == 1) encoding.Subsampling = JPEG_SUBSAMPLING_422;
          else if (across == 4 && down == 1) encoding.Subsampling = JPEG_SUBSAMPLING_411;
        }
        // Anything else keeps every colour sample.
        if (!encoding.Subsampling) encoding.Subsampling = JPEG_SUBSAMPLING_444;
      }
      break;
    }
  }
  if (lumaTable < 0 || !defined[lumaTable] || (chromaTable >= 0 && !defined[chromaTable])) return encoding;
  for (int quality = 1; quality <= 100; ++quality) {
    if (NoCoarser(StandardLuminance, tables[lumaTable], quality) &&
        (chromaTable < 0 || NoCoarser(StandardChrominance, tables[chromaTable], quality))) {
      encoding.Quality = quality;
      break;
    }
  }
  return encoding;
}

int JpegSaveFlags(const TJpegEncoding& encoding) {
  int flags = JPEG_BASELINE | encoding.Subsampling;
  if (encoding.Quality > 0) flags |= encoding.Quality;
  if (encoding.Progressive) flags |= JPEG_PROGRESSIVE;
  return flags;
}

std::vector<uint8_t> WithSourceSegments(std::span<const uint8_t> source, std::span<const uint8_t> encoded) {
  const std::vector<TJpegSegment> from = WalkJpegSegments(source);
  const std::vector<TJpegSegment> to = WalkJpegSegments(encoded);
  std::vector<uint8_t> out{0xFF, JpegMarker::SOI};
  for (const TJpegSegment& segment : from) {
    if (segment.Marker == JpegMarker::SOS) break;
    if (IsMetadataSegment(segment.Marker) && segment.Marker != AdobeMarker)
      out.insert(out.end(), source.begin() + std::ptrdiff_t(segment.Start), source.begin() + std::ptrdiff_t(segment.End()));
  }
  // The new stream from its first segment that is not metadata on; its
  // entropy-coded data follows the last segment walked.
  size_t rest = encoded.size();
  for (const TJpegSegment& segment : to)
    if (!IsMetadataSegment(segment.Marker)) {
      rest = segment.Start;
      break;
    }
  out.insert(out.end(), encoded.begin() + std::ptrdiff_t(std::min(rest, encoded.size())), encoded.end());
  return out;
}
