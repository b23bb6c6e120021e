#include "edit/exif/jpeg_rewrite.h"

#include "edit/exif/exif_errors.h"

#include <algorithm>

namespace {

std::vector<uint8_t> SegmentHeader(size_t dataSize) {
  const size_t length = dataSize + 2;
  return {0xFF, JpegMarker::APP1, uint8_t(length >> 8), uint8_t(length)};
}

}  // namespace

TOutputPieces RewriteJpeg(std::span<const uint8_t> file, const std::vector<TJpegSegment>& segments,
                          std::vector<uint8_t> exifBlock, const std::vector<uint8_t>& xmpPacket) {
  const std::span<const uint8_t> signature = XmpSignature();
  if (!exifBlock.empty() && exifBlock.size() + 6 > MaxSegmentData)
    throw EExifDataTooLarge("EXIF data too large for a JPEG segment");
  if (!xmpPacket.empty() && xmpPacket.size() + signature.size() > MaxSegmentData)
    throw EExifDataTooLarge("XMP packet too large for a JPEG segment");

  TOutputPieces out;
  out.Append(file.first(2));  // SOI

  std::vector<const TJpegSegment*> omitted;
  bool exifSeen = false, xmpSeen = false;
  for (const TJpegSegment& segment : segments) {
    const std::span<const uint8_t> data = file.subspan(segment.DataStart, segment.DataSize);
    if (segment.Marker == JpegMarker::APP0) {
      out.Append(file.subspan(segment.DataStart - 4, segment.DataSize + 4));  // FF E0, length, data
      omitted.push_back(&segment);
    } else if (segment.Marker == JpegMarker::APP1) {
      if (!exifSeen && IsExifSegmentData(data)) {
        exifSeen = true;
        omitted.push_back(&segment);
      } else if (!xmpSeen && IsXmpSegmentData(data)) {
        xmpSeen = true;
        omitted.push_back(&segment);
      }
    }
  }

  if (!exifBlock.empty()) {
    std::vector<uint8_t> segment = SegmentHeader(exifBlock.size() + 6);
    segment.insert(segment.end(), {'E', 'x', 'i', 'f', 0, 0});
    segment.insert(segment.end(), exifBlock.begin(), exifBlock.end());
    out.Append(std::move(segment));
  }
  if (!xmpPacket.empty()) {
    std::vector<uint8_t> segment = SegmentHeader(xmpPacket.size() + signature.size());
    segment.insert(segment.end(), signature.begin(), signature.end());
    segment.insert(segment.end(), xmpPacket.begin(), xmpPacket.end());
    out.Append(std::move(segment));
  }

  // The rest, from just after SOI, leaving out the omitted segments (the
  // segment list is in file order).
  size_t pos = 2;
  for (const TJpegSegment* segment : omitted) {
    out.Append(file.subspan(pos, segment->Start - pos));
    pos = segment->End();
  }
  out.Append(file.subspan(pos));
  return out;
}
