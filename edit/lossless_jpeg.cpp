#include "edit/lossless_jpeg.h"

#include "edit/exif/jpeg_segments.h"

#include <turbojpeg.h>

#include <memory>

namespace {

struct THandleCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using THandle = std::unique_ptr<void, THandleCloser>;

bool IsProgressive(std::span<const uint8_t> jpeg) {
  for (const TJpegSegment& segment : WalkJpegSegments(jpeg))
    if (segment.Marker == 0xC2 || segment.Marker == 0xC6 || segment.Marker == 0xCA || segment.Marker == 0xCE)
      return true;
  return false;
}

}  // namespace

TLosslessJpeg::~TLosslessJpeg() { tjFree(FData); }

bool TLosslessJpeg::Transform(std::span<const uint8_t> jpeg, TPictureTransform transform) {
  tjFree(FData);
  FData = nullptr;
  FSize = 0;
  FError.clear();
  THandle handle(tjInitTransform());
  if (!handle) {
    FError = tjGetErrorStr2(nullptr);
    return false;
  }
  tjtransform xform{};
  xform.op = int(transform);
  xform.options = TJXOPT_PERFECT;
  try {
    if (IsProgressive(jpeg)) xform.options |= TJXOPT_PROGRESSIVE;
  } catch (...) {
    // A segment walk that runs out of bytes: TurboJPEG will say what is wrong.
  }
  if (tjTransform(handle.get(), jpeg.data(), jpeg.size(), 1, &FData, &FSize, &xform, TJFLAG_STOPONWARNING) != 0) {
    FError = tjGetErrorStr2(handle.get());
    tjFree(FData);
    FData = nullptr;
    FSize = 0;
    return false;
  }
  return true;
}

bool ReadJpegSize(std::span<const uint8_t> jpeg, int& width, int& height) {
  THandle handle(tjInitDecompress());
  int subsampling = 0, colourspace = 0;
  return handle &&
         tjDecompressHeader3(handle.get(), jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colourspace) == 0;
}
