#include "edit/exif/jpeg_segments.h"

#include "edit/exif/exif_errors.h"
#include "edit/exif/tiff_reader.h"

#include <cstring>

namespace {

// Markers that stand alone, without a length field.
bool IsStandalone(uint8_t marker) { return marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9); }

bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

constexpr char XmpSignatureText[] = "http://ns.adobe.com/xap/1.0/";  // 28 characters and a zero
constexpr char XPacket[] = "<?xpacket ";
constexpr uint8_t ExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};

}  // namespace

bool IsJpeg(std::span<const uint8_t> data) { return data.size() >= 2 && data[0] == 0xFF && data[1] == JpegMarker::SOI; }

std::vector<TJpegSegment> WalkJpegSegments(std::span<const uint8_t> data) {
  std::vector<TJpegSegment> segments;
  size_t pos = 2;
  const size_t size = data.size();
  while (pos < size && data[pos] == 0xFF) {
    TJpegSegment segment;
    segment.Start = pos;
    while (pos < size && data[pos] == 0xFF) ++pos;
    if (pos >= size) throw EStreamReadError();
    segment.Marker = data[pos++];
    if (IsStandalone(segment.Marker)) {
      segment.DataStart = pos;
      segments.push_back(segment);
      if (segment.Marker == JpegMarker::EOI) break;
      continue;
    }
    if (size - pos < 2) throw EStreamReadError();
    const size_t length = size_t(data[pos]) << 8 | data[pos + 1];
    if (length < 2) throw EInvalidJPEGHeader();
    segment.DataStart = pos + 2;
    segment.DataSize = length - 2;
    if (segment.DataSize > size - segment.DataStart) throw EStreamReadError();
    segments.push_back(segment);
    pos = segment.End();
  }
  return segments;
}

bool IsExifSegmentData(std::span<const uint8_t> data, size_t* tiffStart) {
  if (data.size() < 8) return false;
  const size_t start = std::memcmp(data.data(), ExifPrefix, 6) == 0 ? 6 : 0;
  if (start + 4 > data.size() || !HasTiffHeader(data.subspan(start))) return false;
  if (tiffStart) *tiffStart = start;
  return true;
}

std::span<const uint8_t> XmpSignature() {
  return {reinterpret_cast<const uint8_t*>(XmpSignatureText), sizeof XmpSignatureText};
}

bool IsXmpSegmentData(std::span<const uint8_t> data, size_t* packetStart) {
  if (data.size() <= 19) return false;
  const std::span<const uint8_t> signature = XmpSignature();
  const size_t start =
      data.size() >= signature.size() && std::memcmp(data.data(), signature.data(), signature.size()) == 0
          ? signature.size()
          : 0;
  const size_t xpacketSize = sizeof XPacket - 1;
  if (data.size() - start < xpacketSize || std::memcmp(data.data() + start, XPacket, xpacketSize) != 0) return false;
  if (packetStart) *packetStart = start;
  return true;
}

bool FindFrameSize(std::span<const uint8_t> data, const std::vector<TJpegSegment>& segments, uint32_t& width,
                   uint32_t& height) {
  for (const TJpegSegment& segment : segments) {
    if (!IsFrameHeader(segment.Marker) || segment.DataSize <= 5) continue;
    const uint8_t* p = data.data() + segment.DataStart;
    height = uint32_t(p[1]) << 8 | p[2];
    width = uint32_t(p[3]) << 8 | p[4];
    return true;
  }
  return false;
}

size_t JpegImageEnd(std::span<const uint8_t> data) {
  const size_t size = data.size();
  size_t pos = 2;
  while (pos < size) {
    if (data[pos] != 0xFF) {  // entropy-coded data
      ++pos;
      continue;
    }
    while (pos < size && data[pos] == 0xFF) ++pos;
    if (pos >= size) break;
    const uint8_t marker = data[pos++];
    if (marker == JpegMarker::EOI) return pos;
    if (IsStandalone(marker)) continue;
    if (size - pos < 2) break;
    const size_t length = size_t(data[pos]) << 8 | data[pos + 1];
    if (length < 2) break;
    pos += length;
  }
  return size;
}
