#include "edit/save_picture.h"

#include "edit/cmyk_picture.h"

#include "edit/container_chunks.h"
#include "edit/exif/exif_data.h"
#include "edit/exif/file_io.h"
#include "edit/exif_update.h"
#include "edit/faithful_encode.h"
#include "edit/jpeg_encoding.h"
#include "platform/atomic_file.h"
#include "platform/free_bitmap.h"
#include "platform/posix_io.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace {

TSaveResult Failed(TSaveFailure failure, int error = 0) {
  TSaveResult result;
  result.Failure = failure;
  result.Error = error;
  return result;
}

TSaveResult FromSystemError(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT: return Failed(TSaveFailure::DiskFull, error);
    case EROFS:
    case EACCES:
    case EPERM: return Failed(TSaveFailure::FolderReadOnly, error);
    case ENOENT:
    case ENOTDIR: return Failed(TSaveFailure::FolderMissing, error);
    case EISDIR: return Failed(TSaveFailure::NotAFile, error);
    case ENOMEM: return Failed(TSaveFailure::OutOfMemory, error);
    default: return Failed(TSaveFailure::WriteFailed, error);
  }
}

// The content of the file a save starts from; nothing when it is gone or
// unreadable (there is then nothing of it to keep).
std::unique_ptr<TFileContent> ReadSource(const std::string& path) {
  if (path.empty()) return nullptr;
  try {
    return std::make_unique<TFileContent>(ReadFileContent(path, false));
  } catch (const EExifError&) {
    return nullptr;
  }
}

}  // namespace

std::string SaveFailureText(const TSaveResult& r) {
  switch (r.Failure) {
    case TSaveFailure::None: return {};
    case TSaveFailure::NoPicture: return "there is no picture";
    case TSaveFailure::UnknownFormat: return "no picture format has this file extension";
    case TSaveFailure::FormatNotWritable: return FormatName(r.Format) + " files cannot be written";
    case TSaveFailure::CannotHoldPicture: return FormatName(r.Format) + " cannot hold " + PixelKindText(r.Type, r.Bpp);
    case TSaveFailure::EncoderFailed:
      return "the " + FormatName(r.Format) + " encoder could not write " + PixelKindText(r.Type, r.Bpp);
    case TSaveFailure::OutOfMemory: return "there is not enough memory";
    case TSaveFailure::NotAFile: return "the name belongs to a folder or a device";
    case TSaveFailure::WriteProtected: return "the file is write-protected";
    case TSaveFailure::FolderMissing: return "the folder does not exist";
    case TSaveFailure::FolderReadOnly: return "the folder is read-only";
    case TSaveFailure::DiskFull: return "the disk is full";
    case TSaveFailure::TooManyPictures: return "the file holds " + std::to_string(r.Pictures) + " pictures";
    case TSaveFailure::LayersWouldGo: return "the file holds " + std::to_string(r.Pictures) + " layers";
    case TSaveFailure::CannotTurn: return "FreeImage cannot turn " + PixelKindText(r.Type, r.Bpp);
    case TSaveFailure::FileUnreadable: return "the file could not be read again";
    case TSaveFailure::CannotHoldInks: return FormatName(r.Format) + " cannot hold CMYK inks";
    case TSaveFailure::CheckFailed:
    case TSaveFailure::MetadataNotKept: return r.Detail;
    case TSaveFailure::WriteFailed: break;
  }
  std::string text = r.Error ? std::strerror(r.Error) : "the file could not be written";
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || !(text[1] >= 'A' && text[1] <= 'Z')))
    text[0] = char(text[0] - 'A' + 'a');
  return text;
}

namespace {

// CMYK pixels go into a file as CMYK only where the format holds them; into
// any other format as sRGB, through the picture's profile, never as if their
// inks were red, green and blue.
bool WritesAsSrgb(FIBITMAP* dib, FREE_IMAGE_FORMAT format) { return IsCmykPicture(dib) && !FormatKeepsCmyk(format); }

// FreeImage cannot write CMYK JPEG files; our own encoder writes them.
bool WritesCmykJpeg(FIBITMAP* dib, FREE_IMAGE_FORMAT format) { return format == FIF_JPEG && IsCmykPicture(dib); }

}  // namespace

// FreeImage takes a name without a dot as an extension itself, so the
// extension of the last path component is looked up on its own.
FREE_IMAGE_FORMAT FormatOfExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return FIF_UNKNOWN;
  const std::string name = "x" + path.substr(dot);
  return FreeImage_GetFIFFromFilename(name.c_str());
}

TSaveResult CheckFormatHolds(FIBITMAP* dib, FREE_IMAGE_FORMAT fif) {
  if (!dib) return Failed(TSaveFailure::NoPicture);
  TSaveResult result;
  result.Format = fif;
  result.Type = FreeImage_GetImageType(dib);
  result.Bpp = FreeImage_GetBPP(dib);
  if (WritesAsSrgb(dib, result.Format)) {
    result.Type = FIT_BITMAP;
    result.Bpp = 24;
  }
  if (result.Format == FIF_UNKNOWN) {
    result.Failure = TSaveFailure::UnknownFormat;
    return result;
  }
  if (WritesCmykJpeg(dib, result.Format)) {
    result.Type = FIT_BITMAP;
    result.Bpp = 32;
    return result;
  }
  const bool writes = FreeImage_FIFSupportsWriting(result.Format);
  // FreeImage 3.18's PSD encoder claims 1-bit pictures but writes past the
  // end of its row buffer on them, corrupting the viewer's memory.
  const bool brokenEncoder = result.Format == FIF_PSD && result.Type == FIT_BITMAP && result.Bpp == 1;
  const bool holds = result.Type == FIT_BITMAP
                         ? writes && !brokenEncoder && FreeImage_FIFSupportsExportBPP(result.Format, int(result.Bpp))
                         : FreeImage_FIFSupportsExportType(result.Format, result.Type);
  if (!holds) result.Failure = writes ? TSaveFailure::CannotHoldPicture : TSaveFailure::FormatNotWritable;
  return result;
}

TSaveResult CheckInksKept(FIBITMAP* dib, FREE_IMAGE_FORMAT fif) {
  TSaveResult result;
  result.Format = fif;
  if (IsCmykPicture(dib) && !FormatKeepsCmyk(fif)) result.Failure = TSaveFailure::CannotHoldInks;
  return result;
}

TSaveResult CheckSaveFormat(FIBITMAP* dib, const std::string& path) {
  return CheckFormatHolds(dib, FormatOfExtension(path));
}

TEncodedPicture::~TEncodedPicture() {
  if (FMemory) FreeImage_CloseMemory(FMemory);
}

TEncodedPicture::TEncodedPicture(TEncodedPicture&& other) noexcept : FMemory(std::exchange(other.FMemory, nullptr)) {}

TEncodedPicture& TEncodedPicture::operator=(TEncodedPicture&& other) noexcept {
  if (this != &other) {
    if (FMemory) FreeImage_CloseMemory(FMemory);
    FMemory = std::exchange(other.FMemory, nullptr);
  }
  return *this;
}

std::span<const uint8_t> TEncodedPicture::Bytes() const {
  BYTE* data = nullptr;
  DWORD size = 0;
  if (!FMemory || !FreeImage_AcquireMemory(FMemory, &data, &size)) return {};
  return {data, size};
}

TSaveResult EncodePicture(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags, TEncodedPicture& out) {
  TSaveResult result = CheckFormatHolds(dib, fif);
  if (!result.Ok()) return result;
  TEncodedPicture encoded;
  encoded.FMemory = FreeImage_OpenMemory(nullptr, 0);
  if (!encoded.FMemory) {
    result.Failure = TSaveFailure::OutOfMemory;
    return result;
  }
  TFreeBitmap srgb;
  if (WritesAsSrgb(dib, result.Format)) {
    srgb.Assign(CmykToSrgb(dib));
    if (!srgb) {
      result.Failure = TSaveFailure::EncoderFailed;
      return result;
    }
    dib = srgb.Dib();
  }
  try {
    if (WritesCmykJpeg(dib, result.Format)) {
      std::vector<uint8_t> bytes;
      if (!EncodeCmykJpeg(dib, flags, bytes) ||
          FreeImage_WriteMemory(bytes.data(), 1, unsigned(bytes.size()), encoded.FMemory) != bytes.size())
        result.Failure = TSaveFailure::EncoderFailed;
    } else if (!FreeImage_SaveToMemory(result.Format, dib, encoded.FMemory, flags) || encoded.Bytes().empty()) {
      result.Failure = TSaveFailure::EncoderFailed;
    }
  } catch (const std::bad_alloc&) {
    result.Failure = TSaveFailure::OutOfMemory;
  }
  if (result.Ok()) out = std::move(encoded);
  return result;
}

std::function<void(std::vector<uint8_t>& bytes)>& WrittenFileFaultHook() {
  static std::function<void(std::vector<uint8_t>&)> hook;
  return hook;
}

TSaveResult WritePictureFile(const std::string& path, const std::vector<std::span<const uint8_t>>& pieces,
                             const TWriteCheck* check) {
  const TFileStatus info = StatusOfPath(path);
  if (info.kind != TFileKind::Missing) {
    if (info.kind != TFileKind::Regular)
      return Failed(TSaveFailure::NotAFile, info.kind == TFileKind::Folder ? EISDIR : EINVAL);
    // A write-protected file stays as it is, although the folder would let
    // a rename replace it.
    if (const int error = AccessError(path, true))
      return error == EROFS ? Failed(TSaveFailure::FolderReadOnly, error) : Failed(TSaveFailure::WriteProtected, error);
  } else if (info.error != ENOENT) {
    return FromSystemError(info.error);
  }
  TAtomicFile file(path);
  if (check && check->Checker) {
    file.SetVerifier([check](const std::string& temporary) {
      check->Checker->Start(temporary, check->Meant.Format, check->MovedBlocks);
      const std::string meanwhile = check->Meanwhile ? check->Meanwhile() : std::string();
      const std::string found = CompareWrittenFile(check->Meant, check->Checker->Finish());
      return found.empty() ? meanwhile : found;
    });
  }
  bool written = file.Open();
  if (written && WrittenFileFaultHook()) {
    std::vector<uint8_t> bytes;
    for (const auto& piece : pieces) bytes.insert(bytes.end(), piece.begin(), piece.end());
    WrittenFileFaultHook()(bytes);
    written = file.Write(bytes);
  } else if (written) {
    written = file.Write(pieces);
  }
  if (written && file.Commit()) return {};
  if (!file.VetoReason().empty()) {
    TSaveResult result = Failed(TSaveFailure::CheckFailed);
    result.Detail = file.VetoReason();
    return result;
  }
  return FromSystemError(file.Error());
}

TSaveResult SavePicture(const TSaveRequest& request) {
  const FREE_IMAGE_FORMAT fif = FormatOfExtension(request.Path);
  TSaveResult result = CheckFormatHolds(request.Picture, fif);
  if (!result.Ok()) return result;
  if (request.ReplacesSource) {
    const TSaveResult inks = CheckInksKept(request.Picture, fif);
    if (!inks.Ok()) return inks;
  }

  const std::unique_ptr<TFileContent> source = ReadSource(request.SourcePath);
  TSourceFile from;
  if (source) {
    from.Bytes = source->Bytes();
    from.Format = request.SourceFormat;
  }
  const unsigned pages = source && request.Shown && FileHoldsPages(from.Format) ? request.Shown->Pages() : 1;
  const unsigned pictures = source ? PicturesInFile(from, pages) : 1;
  const unsigned layers = source && from.Format == FIF_PSD ? PsdLayerCount(from.Bytes) : 0;
  if (request.ReplacesSource && (pictures > 1 || layers > 0)) {
    result.Failure = pictures > 1 ? TSaveFailure::TooManyPictures : TSaveFailure::LayersWouldGo;
    result.Pictures = pictures > 1 ? pictures : layers;
    return result;
  }
  // The file itself is the most faithful copy of an unedited picture.
  if (source && !request.PictureEdited && !request.ReplacesSource && fif == from.Format) {
    TSaveResult written = WritePictureFile(request.Path, {from.Bytes});
    written.Format = fif;
    return written;
  }

  // An edited deep picture was converted to 32 bits for the screen; the
  // file gets no alpha channel it did not have.
  const TFreeBitmap opaque(WithoutAddedAlpha(request.Picture, request.SourceHadAlpha));
  FIBITMAP* picture = opaque ? opaque.Dib() : request.Picture;
  TExifUpdate update;
  update.Orientation = request.UprightPixels ? TExifUpdate::Upright : TExifUpdate::Keep;
  update.Width = FreeImage_GetWidth(picture);
  update.Height = FreeImage_GetHeight(picture);
  std::vector<uint8_t> bytes;
  TOutputPieces pieces;
  try {
    result = EncodeFaithfully(picture, fif, from, bytes,
                              [&update](std::span<const uint8_t> block) { return UpdateExifBlock(block, update); });
    if (!result.Ok()) return result;
    // FreeImage writes the orientation it read back into JPEG files, which
    // would turn upright pixels a second time.
    pieces = UpdateFileExif(bytes, update);
  } catch (const EExifError& e) {
    result.Failure = TSaveFailure::MetadataNotKept;
    result.Detail = std::string("its metadata could not be kept: ") + e.what();
    return result;
  }
  TWriteCheck check;
  check.Checker = request.Checker;
  check.Meant = MeantFile(picture, fif, 1, source && fif == from.Format);
  TSaveResult written = WritePictureFile(request.Path, pieces.Pieces(), &check);
  written.Format = result.Format;
  written.Type = result.Type;
  written.Bpp = result.Bpp;
  return written;
}

TSaveResult SavePicture(FIBITMAP* dib, const std::string& path, bool uprightPixels) {
  TSaveRequest request;
  request.Path = path;
  request.Picture = dib;
  request.UprightPixels = uprightPixels;
  return SavePicture(request);
}
