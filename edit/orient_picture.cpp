#include "edit/orient_picture.h"

#include "edit/container_chunks.h"
#include "edit/exif/exif_data.h"
#include "edit/exif/file_io.h"
#include "edit/exif_update.h"
#include "edit/faithful_encode.h"
#include "edit/lossless_jpeg.h"
#include "edit/picture_pages.h"
#include "platform/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The command changes the file on display; it never makes a new one.
void RequireExistingFile(const std::string& path) {
  const TFileStatus info = StatusOfPath(path);
  if (info.kind == TFileKind::Missing) throw EFOpenError(path, std::strerror(info.error));
  if (info.kind != TFileKind::Regular)
    throw EFOpenError(path, info.kind == TFileKind::Folder ? std::strerror(EISDIR) : "Not a regular file");
}

TSaveResult Refused(TSaveFailure failure, FIBITMAP* dib = nullptr) {
  TSaveResult result;
  result.Failure = failure;
  if (dib) {
    result.Type = FreeImage_GetImageType(dib);
    result.Bpp = FreeImage_GetBPP(dib);
  }
  return result;
}

// The working image turned for the screen, made once: by the write when it
// needs it, while the new file is checked, or on a thread of its own while
// the file's blocks are moved (the two take about as long, on two cores).
class TScreenTurn {
public:
  explicit TScreenTurn(const TOrientedWrite& request) : FRequest(request) {}
  ~TScreenTurn() { Join(); }
  TScreenTurn(const TScreenTurn&) = delete;
  TScreenTurn& operator=(const TScreenTurn&) = delete;

  FIBITMAP* Get() {
    Join();
    if (!FStarted) {
      FStarted = true;
      FTurned = Turn();
    }
    return FTurned;
  }
  // Starts the turn on another thread; Get waits for it.
  void StartAside() {
    if (FStarted) return;
    FStarted = true;
    FThread = std::thread([this] { FTurned = Turn(); });
  }
  // For the check: the write is refused when the screen cannot follow it.
  std::function<std::string()> WhileChecked() {
    if (FStarted && !FThread.joinable()) return {};
    return [this] { return Get() ? std::string() : std::string("the picture on screen could not be turned"); };
  }

private:
  FIBITMAP* Turn() const { return FRequest.turnWorkingImage ? FRequest.turnWorkingImage() : nullptr; }
  void Join() {
    if (FThread.joinable()) FThread.join();
  }

  const TOrientedWrite& FRequest;
  std::thread FThread;
  bool FStarted = false;
  FIBITMAP* FTurned = nullptr;
};

// How FreeImage laid out the stored pixels when it decoded the file.
TPictureTransform DecodedLayout(const TOrientedWrite& request, std::span<const uint8_t> file) {
  if (!request.exifRotation || request.fileFormat != FIF_JPEG) return ptIdentity;
  TExifData exif;
  exif.LoadFromBytes(file);
  return ExifRotationTransform(exif.General().Orientation());
}

// The EXIF models of the new file: a flip removes the orientation, and with
// it the whole block when that was its only tag.
TModelSet ExifModelsLost(std::span<const uint8_t> file, TOrientCommand command) {
  if (IsRotation(command) || DetectGraphicFormat(file) != gfJPEG) return 0;
  try {
    TExifData exif;
    exif.LoadFromBytes(file);
    exif.General().SetOrientation(toUndefined);
    if (exif.IsEmpty()) return ExifModelSet();
    const bool onlyPointers = std::all_of(
        exif.General().Tags().begin(), exif.General().Tags().end(),
        [](const TExifTag& tag) { return tag.ID == ExifTagID::ExifPointer || tag.ID == ExifTagID::GPSPointer; });
    return onlyPointers ? TModelSet(1) << FIMD_EXIF_MAIN : 0;
  } catch (const EExifError&) {
    return 0;
  }
}

TExifUpdate UpdateFor(TOrientCommand command, FIBITMAP* picture) {
  TExifUpdate update;
  update.Orientation = IsRotation(command) ? TExifUpdate::Upright : TExifUpdate::Remove;
  update.Width = FreeImage_GetWidth(picture);
  update.Height = FreeImage_GetHeight(picture);
  return update;
}

// The orientation reset; a JPEG's pixel dimensions follow its frame there,
// a TIFF's and a PSD's are set here.
TOutputPieces ResetOrientation(const TOrientedWrite& request, std::vector<uint8_t>& bytes, FIBITMAP* picture,
                               TPictureTransform stored) {
  if (request.fileFormat == FIF_TIFF || request.fileFormat == FIF_PSD) {
    TExifUpdate dimensions = UpdateFor(request.command, picture);
    dimensions.Orientation = TExifUpdate::Keep;
    bytes = UpdateFileExif(bytes, dimensions).Join();
  }
  return ApplyOrientationReset(bytes, request.command, stored);
}

TOrientedResult Write(const TOrientedWrite& request, std::span<const uint8_t> file, const TOutputPieces& pieces,
                      TPictureFacts meant, TScreenTurn& screen, bool movedBlocks = false) {
  meant.Models &= ~ExifModelsLost(file, request.command);
  TWriteCheck check;
  check.Checker = request.checker;
  check.Meant = std::move(meant);
  check.MovedBlocks = movedBlocks;
  check.Meanwhile = screen.WhileChecked();
  TOrientedResult result;
  result.save = WritePictureFile(request.path, pieces.Pieces(), &check);
  result.save.Format = request.fileFormat;
  if (result.save.Ok()) screen.Get();
  return result;
}

// The lossless path: the one transform that takes the stored blocks to the
// new picture. Nothing when it does not apply or is not possible without
// loss; the caller then re-encodes.
std::optional<TOrientedResult> WriteLosslessly(const TOrientedWrite& request, std::span<const uint8_t> file,
                                               TPictureTransform layout, TPictureTransform stored,
                                               TScreenTurn& screen) {
  if (DetectGraphicFormat(file) != gfJPEG || !request.workingImage) return std::nullopt;
  // The working image must be the stored picture laid out as decoded;
  // anything else (a decoder that read another orientation) is re-encoded.
  int width = 0, height = 0;
  if (!ReadJpegSize(file, width, height)) return std::nullopt;
  if (SwapsSides(layout)) std::swap(width, height);
  if (unsigned(width) != FreeImage_GetWidth(request.workingImage) ||
      unsigned(height) != FreeImage_GetHeight(request.workingImage))
    return std::nullopt;

  TPictureFacts meant = MeantFile(request.workingImage, FIF_JPEG, 1, true);
  if (SwapsSides(CommandTransform(request.command))) std::swap(meant.Width, meant.Height);
  // The working image is not touched here from now on.
  screen.StartAside();
  TLosslessJpeg jpeg;
  if (!jpeg.Transform(file, stored)) return std::nullopt;
  const TOutputPieces pieces = ApplyOrientationReset(jpeg.Bytes(), request.command, stored);
  TOrientedResult result = Write(request, file, pieces, std::move(meant), screen, true);
  result.lossless = true;
  return result;
}

// Every page of a GIF, TIFF or ICO file turned the same way and written as
// one file again; refused for pages whose own EXIF directories the file
// would not keep.
TOrientedResult WriteEveryPage(const TOrientedWrite& request, std::span<const uint8_t> file, unsigned count,
                               TPictureTransform stored, TScreenTurn& screen) {
  TOrientedResult result;
  const TPictureTransform transform = CommandTransform(request.command);
  std::vector<TFreeBitmap> decoded;
  std::vector<TFreeBitmap> turned;
  std::vector<FIBITMAP*> pages;
  unsigned screenWidth = 0, screenHeight = 0;
  for (unsigned page = 0; page < count; ++page) {
    decoded.push_back(request.shownFile->Decode(page));
    FIBITMAP* dib = decoded.back().Dib();
    if (!dib) {
      result.save = Refused(TSaveFailure::FileUnreadable);
      return result;
    }
    if (page > 0 &&
        (FreeImage_GetMetadataCount(FIMD_EXIF_EXIF, dib) || FreeImage_GetMetadataCount(FIMD_EXIF_GPS, dib))) {
      result.save = Refused(TSaveFailure::TooManyPictures);
      result.save.Pictures = count;
      return result;
    }
    if (page == 0) AnimationScreen(dib, screenWidth, screenHeight);
    turned.push_back(TransformPicture(dib, request.command));
    FIBITMAP* done = turned.back().Dib();
    if (!done) {
      result.save = Refused(TSaveFailure::CannotTurn, dib);
      return result;
    }
    if (page > 0 && screenWidth && screenHeight) PlaceAnimationFrame(done, transform, screenWidth, screenHeight);
    result.save = CheckFormatHolds(done, request.fileFormat);
    if (!result.save.Ok()) return result;
    pages.push_back(done);
  }
  std::vector<uint8_t> bytes;
  unsigned deepest = 0;
  for (FIBITMAP* page : pages) deepest = std::max(deepest, FreeImage_GetBPP(page));
  const int flags = FaithfulSaveFlags(request.fileFormat, TSourceFile{file, request.fileFormat}, deepest);
  if (!EncodePages(pages, request.fileFormat, flags, bytes)) {
    result.save = Refused(TSaveFailure::EncoderFailed, pages.front());
    result.save.Format = request.fileFormat;
    return result;
  }
  // FreeImage's TIFF encoder leaves the EXIF directories behind.
  if (request.fileFormat == FIF_TIFF) {
    TExifData exif;
    exif.LoadFromBytes(file);
    if (!exif.IsEmpty()) bytes = exif.RewriteBytes(bytes).Join();
  }
  const TOutputPieces pieces = ResetOrientation(request, bytes, pages.front(), stored);
  return Write(request, file, pieces, MeantFile(pages.front(), request.fileFormat, count, true), screen);
}

TOrientedResult ReEncode(const TOrientedWrite& request, std::span<const uint8_t> file, TPictureTransform stored,
                         TScreenTurn& screen) {
  TOrientedResult result;
  // The file's own decode, at its depth, unless the working image is it.
  TFreeBitmap decoded;
  TFreeBitmap own;
  FIBITMAP* picture = nullptr;
  if (!request.pictureEdited && request.pictureConverted && request.shownFile) {
    decoded = request.shownFile->Decode(0);
    if (!decoded) {
      result.save = Refused(TSaveFailure::FileUnreadable);
      return result;
    }
    own = TransformPicture(decoded.Dib(), request.command);
    picture = own.Dib();
    if (!picture) {
      result.save = Refused(TSaveFailure::CannotTurn, decoded.Dib());
      return result;
    }
  } else {
    picture = screen.Get();
    if (!picture) {
      result.save = Refused(TSaveFailure::CannotTurn, request.workingImage);
      return result;
    }
    // An edited deep picture was converted to 32 bits for the screen; the
    // file gets no alpha channel it did not have.
    if (request.pictureEdited) {
      own.Assign(WithoutAddedAlpha(picture, request.fileHadAlpha));
      if (own) picture = own.Dib();
    }
  }
  result.save = CheckInksKept(picture, request.fileFormat);
  if (!result.save.Ok()) return result;
  const TExifUpdate update = UpdateFor(request.command, picture);
  std::vector<uint8_t> bytes;
  const TSourceFile source{file, request.fileFormat};
  result.save = EncodeFaithfully(picture, request.fileFormat, source, bytes,
                                 [&update](std::span<const uint8_t> block) { return UpdateExifBlock(block, update); });
  if (!result.save.Ok()) return result;
  const TOutputPieces pieces = ResetOrientation(request, bytes, picture, stored);
  return Write(request, file, pieces, MeantFile(picture, request.fileFormat, 1, true), screen);
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

TFreeBitmap TransformPicture(FIBITMAP* dib, TOrientCommand command) {
  TFreeBitmap result;
  if (!dib) return result;
  switch (command) {
    case ocRotateLeft: result.Assign(FreeImage_Rotate(dib, 90.0, nullptr)); break;
    case ocRotateRight: result.Assign(FreeImage_Rotate(dib, -90.0, nullptr)); break;
    case ocFlipHorizontal:
    case ocFlipVertical:
      // A copy is mirrored, so that dib stays as it was whatever becomes of the result.
      result.Assign(FreeImage_Clone(dib));
      if (result && !(command == ocFlipHorizontal ? FreeImage_FlipHorizontal(result.Dib())
                                                  : FreeImage_FlipVertical(result.Dib())))
        result.Clear();
      break;
  }
  KeepPictureInfo(dib, result.Dib(), CommandTransform(command));
  return result;
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

bool TurnsOnScreenOnly(const TSaveResult& result) {
  return result.Failure == TSaveFailure::FormatNotWritable || result.Failure == TSaveFailure::CannotHoldPicture ||
         result.Failure == TSaveFailure::TooManyPictures || result.Failure == TSaveFailure::LayersWouldGo ||
         result.Failure == TSaveFailure::CannotHoldInks;
}

TOrientedResult WriteOrientedFile(const TOrientedWrite& request) {
  TOrientedResult result;
  TScreenTurn screen(request);
  RequireExistingFile(request.path);
  const TFileContent content = ReadFileContent(request.path, false);
  const std::span<const uint8_t> file = content.Bytes();
  TOrientedWrite write = request;
  // The file keeps the format its content has, whatever its name says.
  if (write.fileFormat == FIF_UNKNOWN) {
    FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(file.data()), DWORD(file.size()));
    write.fileFormat = FreeImage_GetFileTypeFromMemory(memory, 0);
    FreeImage_CloseMemory(memory);
  }
  result.save.Format = write.fileFormat;
  if (write.fileFormat == FIF_UNKNOWN) {
    result.save.Failure = TSaveFailure::FileUnreadable;
    return result;
  }
  if (!FreeImage_FIFSupportsWriting(write.fileFormat)) {
    result.save.Failure = TSaveFailure::FormatNotWritable;
    return result;
  }
  const TPictureTransform layout = DecodedLayout(write, file);
  const TPictureTransform stored = Compose(layout, CommandTransform(write.command));

  const bool paged = FileHoldsPages(write.fileFormat);
  const unsigned pictures =
      PicturesInFile({file, write.fileFormat}, paged && write.shownFile ? write.shownFile->Pages() : 1);
  if (pictures > 1) {
    if (write.pictureEdited || !write.shownFile || !paged) {
      result.save.Failure = TSaveFailure::TooManyPictures;
      result.save.Pictures = pictures;
      return result;
    }
    return WriteEveryPage(write, file, pictures, stored, screen);
  }
  if (const unsigned layers = write.fileFormat == FIF_PSD ? PsdLayerCount(file) : 0) {
    result.save.Failure = TSaveFailure::LayersWouldGo;
    result.save.Pictures = layers;
    return result;
  }
  if (!write.pictureEdited && write.fileFormat == FIF_JPEG)
    if (std::optional<TOrientedResult> lossless = WriteLosslessly(write, file, layout, stored, screen))
      return *lossless;
  return ReEncode(write, file, stored, screen);
}
