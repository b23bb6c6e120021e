#include "edit/save_picture.h"

#include "edit/cmyk_picture.h"

#include "edit/exif/exif_data.h"
#include "platform/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// FreeImage takes a name without a dot as an extension itself, so the
// extension of the last path component is looked up on its own.
FREE_IMAGE_FORMAT FormatOfExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return FIF_UNKNOWN;
  const std::string name = "x" + path.substr(dot);
  return FreeImage_GetFIFFromFilename(name.c_str());
}

std::string FormatName(FREE_IMAGE_FORMAT fif) {
  const char* name = fif == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(fif);
  return name ? name : "this format";
}

std::string PixelKind(const TSaveResult& r) {
  switch (r.Type) {
    case FIT_BITMAP: return std::to_string(r.Bpp) + (r.Bpp == 1 ? " bit per pixel" : " bits per pixel");
    case FIT_UINT16: return "16-bit grey pixels";
    case FIT_INT16: return "signed 16-bit pixels";
    case FIT_UINT32: return "32-bit grey pixels";
    case FIT_INT32: return "signed 32-bit pixels";
    case FIT_FLOAT: return "floating-point grey pixels";
    case FIT_DOUBLE: return "double-precision pixels";
    case FIT_COMPLEX: return "complex pixels";
    case FIT_RGB16: return "48-bit colour pixels";
    case FIT_RGBA16: return "64-bit colour pixels";
    case FIT_RGBF: return "floating-point colour pixels";
    case FIT_RGBAF: return "floating-point colour pixels with alpha";
    default: return "this kind of pixels";
  }
}

// The file with an EXIF orientation other than 1 set to 1; unchanged when it
// has none, or metadata the rewrite cannot read.
TOutputPieces MarkedUpright(std::span<const uint8_t> file) {
  try {
    if (DetectGraphicFormat(file) != gfUnknown) {
      TExifData exif;
      exif.LoadFromBytes(file);
      const TTiffOrientation orientation = exif.General().Orientation();
      if (orientation != toUndefined && orientation != toTopLeft) {
        exif.General().SetOrientation(toTopLeft);
        return exif.RewriteBytes(file);
      }
    }
  } catch (const EExifError&) {
  }
  TOutputPieces unchanged;
  unchanged.Append(file);
  return unchanged;
}

}  // namespace

std::string SaveFailureText(const TSaveResult& r) {
  switch (r.Failure) {
    case TSaveFailure::None: return {};
    case TSaveFailure::NoPicture: return "there is no picture";
    case TSaveFailure::UnknownFormat: return "no picture format has this file extension";
    case TSaveFailure::FormatNotWritable: return FormatName(r.Format) + " files cannot be written";
    case TSaveFailure::CannotHoldPicture: return FormatName(r.Format) + " cannot hold " + PixelKind(r);
    case TSaveFailure::EncoderFailed: return "the " + FormatName(r.Format) + " encoder could not write " + PixelKind(r);
    case TSaveFailure::OutOfMemory: return "there is not enough memory";
    case TSaveFailure::NotAFile: return "the name belongs to a folder or a device";
    case TSaveFailure::WriteProtected: return "the file is write-protected";
    case TSaveFailure::FolderMissing: return "the folder does not exist";
    case TSaveFailure::FolderReadOnly: return "the folder is read-only";
    case TSaveFailure::DiskFull: return "the disk is full";
    case TSaveFailure::WriteFailed: break;
  }
  std::string text = r.Error ? std::strerror(r.Error) : "the file could not be written";
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || !(text[1] >= 'A' && text[1] <= 'Z')))
    text[0] = char(text[0] - 'A' + 'a');
  return text;
}

namespace {

// CMYK pixels go into a file as CMYK only where FreeImage writes them so;
// into any other format as sRGB, through the picture's profile, never as if
// their inks were red, green and blue.
bool WritesAsSrgb(FIBITMAP* dib, FREE_IMAGE_FORMAT format) {
  return IsCmykPicture(dib) && !FormatKeepsCmyk(format);
}

}  // namespace

TSaveResult CheckSaveFormat(FIBITMAP* dib, const std::string& path) {
  if (!dib) return Failed(TSaveFailure::NoPicture);
  TSaveResult result;
  result.Format = FormatOfExtension(path);
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

TSaveResult EncodePicture(FIBITMAP* dib, const std::string& path, TEncodedPicture& out) {
  TSaveResult result = CheckSaveFormat(dib, path);
  if (!result.Ok()) return result;
  TEncodedPicture encoded;
  encoded.FMemory = FreeImage_OpenMemory(nullptr, 0);
  if (!encoded.FMemory) {
    result.Failure = TSaveFailure::OutOfMemory;
    return result;
  }
  std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)> srgb(nullptr, FreeImage_Unload);
  if (WritesAsSrgb(dib, result.Format)) {
    srgb.reset(CmykToSrgb(dib));
    if (!srgb) {
      result.Failure = TSaveFailure::EncoderFailed;
      return result;
    }
    dib = srgb.get();
  }
  try {
    if (!FreeImage_SaveToMemory(result.Format, dib, encoded.FMemory, 0) || encoded.Bytes().empty())
      result.Failure = TSaveFailure::EncoderFailed;
  } catch (const std::bad_alloc&) {
    result.Failure = TSaveFailure::OutOfMemory;
  }
  if (result.Ok()) out = std::move(encoded);
  return result;
}

TSaveResult WritePictureFile(const std::string& path, const std::vector<std::span<const uint8_t>>& pieces) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return Failed(TSaveFailure::NotAFile, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    // A write-protected file stays as it is, although the folder would let
    // a rename replace it.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
      const int error = errno;
      return error == EROFS ? Failed(TSaveFailure::FolderReadOnly, error) : Failed(TSaveFailure::WriteProtected, error);
    }
  } else if (errno != ENOENT) {
    return FromSystemError(errno);
  }
  TAtomicFile file(path);
  if (!file.Open() || !file.Write(pieces) || !file.Commit()) return FromSystemError(file.Error());
  return {};
}

TSaveResult SavePicture(FIBITMAP* dib, const std::string& path, bool uprightPixels) {
  TEncodedPicture encoded;
  TSaveResult result = EncodePicture(dib, path, encoded);
  if (!result.Ok()) return result;
  TOutputPieces pieces;
  if (uprightPixels)
    pieces = MarkedUpright(encoded.Bytes());
  else
    pieces.Append(encoded.Bytes());
  TSaveResult written = WritePictureFile(path, pieces.Pieces());
  written.Format = result.Format;
  written.Type = result.Type;
  written.Bpp = result.Bpp;
  return written;
}
