#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace JpegMarker {
constexpr uint8_t SOI = 0xD8, EOI = 0xD9, SOS = 0xDA, APP0 = 0xE0, APP1 = 0xE1;
}

// One segment of a JPEG stream, as offsets into the stream.
struct TJpegSegment {
  size_t Start = 0;  // its first FF byte (fill bytes included)
  uint8_t Marker = 0;
  size_t DataStart = 0;  // just after the length field
  size_t DataSize = 0;   // length - 2; 0 for markers without a length
  size_t End() const { return DataStart + DataSize; }
};

// The stream starts with SOI (FF D8).
bool IsJpeg(std::span<const uint8_t> data);

// The segments after SOI, in order. The walk stops after EOI, when the byte
// following a segment is not FF (the entropy-coded data after a scan header),
// or at the end of the data. A marker or length field or segment data cut off
// by the end raises EStreamReadError; a length below 2 raises
// EInvalidJPEGHeader.
std::vector<TJpegSegment> WalkJpegSegments(std::span<const uint8_t> data);

// Exif APP1: data, after an optional "Exif" 00 00, begins with a TIFF
// header mark and magic. tiffStart receives the offset of the TIFF block
// within the segment data.
bool IsExifSegmentData(std::span<const uint8_t> data, size_t* tiffStart = nullptr);

// XMP APP1: data longer than 19 bytes that, after the optional XMP
// signature, begins with "<?xpacket ". packetStart receives the packet's
// offset within the segment data.
bool IsXmpSegmentData(std::span<const uint8_t> data, size_t* packetStart = nullptr);

// The 29-byte signature of an XMP APP1 segment: the XMP basic namespace and a
// zero byte.
std::span<const uint8_t> XmpSignature();

// Width and height of the first frame header (SOF0 to SOF15 except DHT, JPG
// and DAC) with more than 5 data bytes.
bool FindFrameSize(std::span<const uint8_t> data, const std::vector<TJpegSegment>& segments, uint32_t& width,
                   uint32_t& height);

// The length of a JPEG image up to and including its EOI marker; the whole
// size when no EOI is found.
size_t JpegImageEnd(std::span<const uint8_t> data);
