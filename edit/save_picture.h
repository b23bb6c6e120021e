#pragma once

// The one save routine of the viewer: Save, Save as, the favicon and the
// rotations all write through it. The format follows the target's extension
// only, is written with FreeImage's default flags (0), and is never converted
// to fit: a format that cannot hold the picture's depth or type is refused.
// The file is replaced atomically (platform/atomic_file.h), so a failure at
// any moment leaves the target as it was and no temporary file behind.

#include <FreeImage.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class TSaveFailure {
  None,
  NoPicture,          // the working image holds no bitmap
  UnknownFormat,      // the extension names no format
  FormatNotWritable,  // FreeImage reads this format but cannot write it
  CannotHoldPicture,  // the format cannot hold this depth or pixel type
  EncoderFailed,      // FreeImage's encoder gave up
  OutOfMemory,
  NotAFile,        // the name belongs to a folder or a device
  WriteProtected,  // the existing file may not be written
  FolderMissing,
  FolderReadOnly,
  DiskFull,
  WriteFailed,  // any other system error, in Error
};

struct TSaveResult {
  TSaveFailure Failure = TSaveFailure::None;
  int Error = 0;  // the system error number behind a write failure
  FREE_IMAGE_FORMAT Format = FIF_UNKNOWN;
  FREE_IMAGE_TYPE Type = FIT_UNKNOWN;  // of the picture, for CannotHoldPicture
  unsigned Bpp = 0;
  bool Ok() const { return Failure == TSaveFailure::None; }
};

// A few words on why nothing was written ("the folder is read-only").
std::string SaveFailureText(const TSaveResult& result);

// The format path's extension names (FIF_UNKNOWN for none) and whether that
// format can write dib at its depth and type; Ok() when it can.
TSaveResult CheckSaveFormat(FIBITMAP* dib, const std::string& path);

// A picture encoded in memory, as FreeImage wrote it.
class TEncodedPicture {
public:
  TEncodedPicture() = default;
  ~TEncodedPicture();
  TEncodedPicture(TEncodedPicture&& other) noexcept;
  TEncodedPicture& operator=(TEncodedPicture&& other) noexcept;
  TEncodedPicture(const TEncodedPicture&) = delete;
  TEncodedPicture& operator=(const TEncodedPicture&) = delete;

  std::span<const uint8_t> Bytes() const;

private:
  friend TSaveResult EncodePicture(FIBITMAP* dib, const std::string& path, TEncodedPicture& out);
  FIMEMORY* FMemory = nullptr;
};

// Checks the format as CheckSaveFormat, then encodes dib into out in that
// format with flags 0. Nothing touches the disk.
TSaveResult EncodePicture(FIBITMAP* dib, const std::string& path, TEncodedPicture& out);

// Creates or replaces path with the pieces, one after the other, in one
// atomic step. An existing file must be a regular file that may be written.
TSaveResult WritePictureFile(const std::string& path, const std::vector<std::span<const uint8_t>>& pieces);

// The save routine: EncodePicture, then WritePictureFile. uprightPixels says
// that dib was turned upright by its EXIF orientation when it was decoded:
// FreeImage writes the orientation it read back into JPEG files, which would
// turn the saved pixels a second time, so it is set to 1 in the new file.
TSaveResult SavePicture(FIBITMAP* dib, const std::string& path, bool uprightPixels = false);
