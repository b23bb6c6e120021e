#pragma once

#include "edit/exif/picture_transform.h"

#include <cstdint>
#include <span>
#include <string>

// A JPEG file's compressed data rearranged by TurboJPEG without decoding it:
// the DCT blocks are moved, so the picture loses nothing.
class TLosslessJpeg {
public:
  TLosslessJpeg() = default;
  ~TLosslessJpeg();
  TLosslessJpeg(const TLosslessJpeg&) = delete;
  TLosslessJpeg& operator=(const TLosslessJpeg&) = delete;

  // Applies transform to jpeg. False, with Error() set, when the data is
  // damaged (any decoder warning counts) or the transform would have to drop
  // or smear the partial blocks at the right or bottom edge. Every APPn and
  // COM segment is carried over (the JFIF header is written anew with the
  // same values); a progressive file stays progressive.
  bool Transform(std::span<const uint8_t> jpeg, TPictureTransform transform);

  std::span<const uint8_t> Bytes() const { return {FData, size_t(FSize)}; }
  const std::string& Error() const { return FError; }

private:
  unsigned char* FData = nullptr;
  unsigned long FSize = 0;
  std::string FError;
};

// The width and height in a JPEG's frame header; false when TurboJPEG cannot
// read the header.
bool ReadJpegSize(std::span<const uint8_t> jpeg, int& width, int& height);
