#pragma once

// The file on display as a write that replaces it sees it: its pictures at
// the file's own depth, decoded away from the viewer (by the decoding
// worker), whatever the screen made of them.

#include <FreeImage.h>

#include <memory>
#include <utility>

// A decoded picture whose rows may live in memory mapped from the decoder.
class TDecodedPicture {
public:
  TDecodedPicture() = default;
  TDecodedPicture(FIBITMAP* dib, std::shared_ptr<void> pixels) : FPixels(std::move(pixels)), FDib(dib) {}
  ~TDecodedPicture() { Reset(); }
  TDecodedPicture(TDecodedPicture&& other) noexcept
      : FPixels(std::move(other.FPixels)), FDib(std::exchange(other.FDib, nullptr)) {}
  TDecodedPicture& operator=(TDecodedPicture&& other) noexcept {
    if (this != &other) {
      Reset();
      FPixels = std::move(other.FPixels);
      FDib = std::exchange(other.FDib, nullptr);
    }
    return *this;
  }
  TDecodedPicture(const TDecodedPicture&) = delete;
  TDecodedPicture& operator=(const TDecodedPicture&) = delete;

  FIBITMAP* Dib() const { return FDib; }
  explicit operator bool() const { return FDib != nullptr; }
  // The bitmap goes before the mapping its rows may live in.
  void Reset() {
    if (FDib) FreeImage_Unload(FDib);
    FDib = nullptr;
    FPixels.reset();
  }

private:
  std::shared_ptr<void> FPixels;
  FIBITMAP* FDib = nullptr;
};

class TShownFile {
public:
  virtual ~TShownFile() = default;
  // The pictures FreeImage finds in the file: the pages of a GIF, TIFF or
  // ICO file, 1 for other formats, 0 when it cannot tell.
  virtual unsigned Pages() = 0;
  // Picture page (counted from 0) at the file's own depth; the first as the
  // viewer decodes the file, with its load flags. Empty when it does not
  // decode.
  virtual TDecodedPicture Decode(unsigned page) = 0;
};
