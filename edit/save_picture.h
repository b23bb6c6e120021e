#pragma once

// The one save routine of the viewer: Save, Save as, the favicon and the
// rotations all write through it. For Save and Save as the format follows
// the target's extension only and is never converted to fit: a format that
// cannot hold the picture's depth or type is refused. A file is replaced
// atomically (platform/atomic_file.h), so a failure at any moment leaves the
// target as it was and no temporary file behind; before the new file takes
// the target's place, the decoding worker decodes it and it is compared with
// what was meant (edit/picture_facts.h).

#include "edit/picture_facts.h"
#include "edit/shown_file.h"

#include <FreeImage.h>

#include <cstdint>
#include <functional>
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
  WriteFailed,      // any other system error, in Error
  TooManyPictures,  // the file holds Pictures pictures, which the write would not all keep
  LayersWouldGo,    // the file holds Pictures layers, which the write would flatten
  CannotTurn,       // FreeImage cannot turn or mirror a picture of this depth
  FileUnreadable,   // the file on display could not be decoded again
  CheckFailed,      // the new file is not what was meant: Detail says how
  MetadataNotKept,  // the file's metadata could not be carried over: Detail says why
  CannotHoldInks,   // a CMYK picture would replace its file in a format without CMYK
};

struct TSaveResult {
  TSaveFailure Failure = TSaveFailure::None;
  int Error = 0;  // the system error number behind a write failure
  FREE_IMAGE_FORMAT Format = FIF_UNKNOWN;
  FREE_IMAGE_TYPE Type = FIT_UNKNOWN;  // of the picture, for CannotHoldPicture
  unsigned Bpp = 0;
  unsigned Pictures = 0;  // TooManyPictures
  std::string Detail;     // CheckFailed, MetadataNotKept
  bool Written = true;    // false: the file already held the picture and was left alone
  bool Ok() const { return Failure == TSaveFailure::None; }
};

// A few words on why nothing was written ("the folder is read-only").
std::string SaveFailureText(const TSaveResult& result);

// The format that path's extension names; FIF_UNKNOWN for none.
FREE_IMAGE_FORMAT FormatOfExtension(const std::string& path);
// Whether format fif can write dib at its depth and type; Ok() when it can.
// A CMYK picture is written as its inks where the format holds them, and as
// its sRGB colours (24 bits) elsewhere.
TSaveResult CheckFormatHolds(FIBITMAP* dib, FREE_IMAGE_FORMAT fif);
// For a write that replaces the file a CMYK picture came from: refused
// (CannotHoldInks) where fif would not keep the inks.
TSaveResult CheckInksKept(FIBITMAP* dib, FREE_IMAGE_FORMAT fif);
// The same for the format path's extension names.
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
  friend TSaveResult EncodePicture(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags, TEncodedPicture& out);
  FIMEMORY* FMemory = nullptr;
};

// Checks the format as CheckFormatHolds, then encodes dib into out as fif
// with FreeImage's save flags. Nothing touches the disk.
TSaveResult EncodePicture(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags, TEncodedPicture& out);

// The check of a new file before it replaces anything.
struct TWriteCheck {
  TWrittenFileChecker* Checker = nullptr;  // null: the file is not checked
  TPictureFacts Meant;
  bool MovedBlocks = false;  // see TWrittenFileChecker::Start
  // Runs while the checker decodes the file; a reason returned refuses the
  // write as a failed check does.
  std::function<std::string()> Meanwhile;
};

// Creates or replaces path with the pieces, one after the other, in one
// atomic step, after check (when given) found the new file to be what was
// meant. An existing file must be a regular file that may be written.
TSaveResult WritePictureFile(const std::string& path, const std::vector<std::span<const uint8_t>>& pieces,
                             const TWriteCheck* check = nullptr);

// Lets tests make a writer produce a wrong file: when set, it may change the
// bytes every picture write is about to put into its temporary file.
std::function<void(std::vector<uint8_t>& bytes)>& WrittenFileFaultHook();

// What Save, Save as and the favicon write.
struct TSaveRequest {
  std::string Path;             // the file to write; its extension names the format
  FIBITMAP* Picture = nullptr;  // the working image
  // The picture was turned upright by its EXIF orientation when it was
  // decoded: the new file says orientation 1.
  bool UprightPixels = false;
  // The file on display, whose metadata, encoding and frames the write keeps
  // where it can (none when SourcePath is empty), and what its decode had.
  std::string SourcePath;
  FREE_IMAGE_FORMAT SourceFormat = FIF_UNKNOWN;
  TShownFile* Shown = nullptr;  // counts its pictures; null: one
  bool SourceHadAlpha = true;
  bool ReplacesSource = false;  // Path is the file on display
  bool PictureEdited = true;    // the picture differs from the file
  TWrittenFileChecker* Checker = nullptr;
};

// The save routine. A file on display that holds several pictures is not
// replaced by one; a picture without edits saved as a file of its own
// format is the file's copy.
TSaveResult SavePicture(const TSaveRequest& request);
// A new file from dib alone, as above without a source.
TSaveResult SavePicture(FIBITMAP* dib, const std::string& path, bool uprightPixels = false);
