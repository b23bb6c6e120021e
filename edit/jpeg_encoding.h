#pragma once

// A JPEG re-encode that keeps what the source file was: its quality (read
// from its quantisation tables), its chroma subsampling, progressive or not,
// and every metadata segment it held.

#include <cstdint>
#include <span>
#include <vector>

struct TJpegEncoding {
  int Quality = 0;  // 1 to 100, the lowest IJG quality whose tables are no coarser than the file's; 0 unknown
  int Subsampling = 0;  // FreeImage's JPEG_SUBSAMPLING_* flag; 0 for grey or unknown
  bool Progressive = false;
};

// How a JPEG stream was encoded; Quality 0 when its tables cannot be read.
TJpegEncoding ReadJpegEncoding(std::span<const uint8_t> jpeg);

// FreeImage's save flags for a re-encode that loses no more than it must,
// written without metadata segments (JPEG_BASELINE) so that the source's
// own can take their place.
int JpegSaveFlags(const TJpegEncoding& encoding);

// encoded (a stream FreeImage wrote without metadata) behind every APPn and
// COM segment of source, in source's order. Adobe's APP14 is left out: its
// colour transform describes the source's data, not the new data. Raises
// EExifError when source's segments cannot be walked.
std::vector<uint8_t> WithSourceSegments(std::span<const uint8_t> source, std::span<const uint8_t> encoded);
