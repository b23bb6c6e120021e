#include "edit/orient_picture.h"


#include "edit/exif/exif_data.h"
#include "edit/exif/file_io.h"
#include "edit/icc_profile.h"
#include "edit/lossless_jpeg.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <sys/stat.h>

namespace {

// The command changes the file on display; it never makes a new one.
void RequireExistingFile(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) throw EFOpenError(path, std::strerror(errno));
  if (!S_ISREG(info.st_mode))
    throw EFOpenError(path, S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file");
}

// What the command did to the stored pixels of file: the decoder laid a
// JPEG out by its EXIF orientation when exifRotation was on, then the
// command turned or mirrored that. Raises EExifError for metadata it cannot
// read.
TPictureTransform StoredPixelTransform(const TOrientedWrite& request, std::span<const uint8_t> file) {
  int orientation = 0;
  if (request.exifRotation && DetectGraphicFormat(file) == gfJPEG) {
    TExifData exif;
    exif.LoadFromBytes(file);
    orientation = exif.General().Orientation();
  }
  return Compose(ExifRotationTransform(orientation), CommandTransform(request.command));
}

// The lossless path: the one transform that takes the stored blocks to the
// new working image. Nothing when it does not apply or is not possible
// without loss; the caller then re-encodes.
std::optional<TOrientedResult> WriteLosslessly(const TOrientedWrite& request, std::span<const uint8_t> file) {
  if (DetectGraphicFormat(file) != gfJPEG) return std::nullopt;
  TPictureTransform transform;
  try {
    transform = StoredPixelTransform(request, file);
  } catch (const EExifError&) {
    return std::nullopt;  // what the decoder made of it is unknown
  }

  // The working image must be the stored picture laid out that way; anything
  // else (a decoder that read another orientation) is re-encoded as shown.
  int width = 0, height = 0;
  if (!ReadJpegSize(file, width, height)) return std::nullopt;
  if (SwapsSides(transform)) std::swap(width, height);
  if (unsigned(width) != FreeImage_GetWidth(request.picture) ||
      unsigned(height) != FreeImage_GetHeight(request.picture))
    return std::nullopt;

  TLosslessJpeg jpeg;
  if (!jpeg.Transform(file, transform)) return std::nullopt;
  const TOutputPieces pieces = ApplyOrientationReset(jpeg.Bytes(), request.command, transform);
  TOrientedResult result;
  result.lossless = true;
  result.save = WritePictureFile(request.path, pieces.Pieces());
  result.save.Format = FIF_JPEG;
  return result;
}

}  // namespace

bool IsRotation(TOrientCommand command) { return command == ocRotateLeft || command == ocRotateRight; }

TPictureTransform CommandTransform(TOrientCommand command) {
  switch (command) {
    case ocRotateLeft: return ptRotate270;
    case ocRotateRight: return ptRotate90;
    case ocFlipHorizontal: return ptFlipHorizontal;
    case ocFlipVertical: return ptFlipVertical;
  }
  return ptIdentity;
}

FIBITMAP* TransformPicture(FIBITMAP* dib, TOrientCommand command) {
  if (!dib) return nullptr;
  switch (command) {
    case ocRotateLeft: return KeepIccProfile(dib, FreeImage_Rotate(dib, 90.0, nullptr));
    case ocRotateRight: return KeepIccProfile(dib, FreeImage_Rotate(dib, -90.0, nullptr));
    case ocFlipHorizontal: return FreeImage_FlipHorizontal(dib) ? dib : nullptr;
    case ocFlipVertical: return FreeImage_FlipVertical(dib) ? dib : nullptr;
  }
  return nullptr;
}

TOutputPieces ApplyOrientationReset(std::span<const uint8_t> file, TOrientCommand command,
                                    TPictureTransform storedPixels) {
  if (DetectGraphicFormat(file) == gfUnknown) {
    TOutputPieces unchanged;
    unchanged.Append(file);
    return unchanged;
  }
  TExifData exif;
  exif.LoadFromBytes(file);
  exif.General().SetOrientation(IsRotation(command) ? toTopLeft : toUndefined);
  exif.TransformThumbnail(storedPixels);
  return exif.RewriteBytes(file);
}

TOrientedResult WriteOrientedFile(const TOrientedWrite& request) {
  TOrientedResult result;
  result.save = CheckSaveFormat(request.picture, request.path);
  if (!result.save.Ok()) return result;

  if (!request.pictureEdited && result.save.Format == FIF_JPEG) {
    const TFileContent content = ReadFileContent(request.path, false);
    if (std::optional<TOrientedResult> lossless = WriteLosslessly(request, content.Bytes())) return *lossless;
  } else {
    RequireExistingFile(request.path);
  }

  TEncodedPicture encoded;
  result.save = EncodePicture(request.picture, request.path, encoded);
  if (!result.save.Ok()) return result;
  TPictureTransform storedPixels = CommandTransform(request.command);
  try {
    storedPixels = StoredPixelTransform(request, ReadFileContent(request.path, false).Bytes());
  } catch (const EExifError&) {
    // The file's orientation cannot be read: taken as the command alone.
  }
  const TOutputPieces pieces = ApplyOrientationReset(encoded.Bytes(), request.command, storedPixels);
  const TSaveResult written = WritePictureFile(request.path, pieces.Pieces());
  result.save.Failure = written.Failure;
  result.save.Error = written.Error;
  return result;
}
