#include "edit/faithful_encode.h"

#include "edit/grey_alpha_png.h"
#include "edit/tiff_compression.h"

#include "decoder/tiff_directory.h"
#include "edit/cmyk_picture.h"
#include "edit/exif/exif_data.h"
#include "edit/exif/tiff_file.h"
#include "edit/icc_profile.h"
#include "edit/jpeg_encoding.h"
#include "edit/picture_pages.h"

#include <algorithm>
#include <new>

namespace {

TGraphicFormat ExifHolder(FREE_IMAGE_FORMAT fif) {
  switch (fif) {
    case FIF_JPEG: return gfJPEG;
    case FIF_TIFF: return gfTIFF;
    case FIF_PSD: return gfPSD;
    default: return gfUnknown;
  }
}

// The EXIF data of a JPEG, TIFF or PSD source moved into a TIFF or JPEG
// file of another format (a JPEG saved as TIFF ...), which FreeImage's
// encoders leave without it. A TIFF's first directory takes only the general
// tags: its others describe the new pixels.
std::vector<uint8_t> WithExifOf(std::span<const uint8_t> source, FREE_IMAGE_FORMAT target, std::vector<uint8_t> file) {
  TExifData exif;
  exif.LoadFromBytes(source);
  if (exif.IsEmpty()) return file;
  if (target == FIF_TIFF) KeepTiffFileGeneralTags(exif.General());
  return exif.RewriteBytes(file).Join();
}

// dib given the profile of the TIFF file it came from, where its decode
// spoilt it.
void KeepTiffProfile(FIBITMAP* dib, std::span<const uint8_t> tiff) {
  std::vector<uint8_t> profile = decoder::TiffIccProfile(tiff);
  const FIICCPROFILE* own = FreeImage_GetICCProfile(dib);
  if (profile.empty() || !own || !own->data || own->size == 0) return;
  if (size_t(own->size) == profile.size() &&
      std::equal(profile.begin(), profile.end(), static_cast<const uint8_t*>(own->data)))
    return;
  const WORD flags = own->flags;
  if (FIICCPROFILE* copy = FreeImage_CreateICCProfile(dib, profile.data(), long(profile.size()))) copy->flags = flags;
}

}  // namespace

unsigned PicturesInFile(const TSourceFile& file, unsigned pagesFound) {
  switch (file.Format) {
    case FIF_PNG: return PngFrameCount(file.Bytes);
    case FIF_WEBP: return ReadWebPFacts(file.Bytes).Frames;
    default: return std::max(1u, pagesFound);
  }
}

bool FileHoldsPages(FREE_IMAGE_FORMAT fif) { return fif == FIF_GIF || fif == FIF_TIFF || fif == FIF_ICO; }

FIBITMAP* WithoutAddedAlpha(FIBITMAP* dib, bool fileHadAlpha) {
  if (!dib || fileHadAlpha || FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) != 32 ||
      IsCmykPicture(dib))
    return nullptr;
  FIBITMAP* rgb = FreeImage_ConvertTo24Bits(dib);
  if (!rgb) return nullptr;
  FreeImage_CloneMetadata(rgb, dib);
  KeepPictureInfo(dib, rgb, ptIdentity);
  return rgb;
}

int FaithfulSaveFlags(FREE_IMAGE_FORMAT fif, const TSourceFile& source, unsigned bpp) {
  if (fif == FIF_TIFF && source.Format == FIF_TIFF) return TiffCompressionFlags(source.Bytes, bpp);
  if (fif == FIF_JPEG && source.Format == FIF_JPEG) {
    const TJpegEncoding encoding = ReadJpegEncoding(source.Bytes);
    if (encoding.Quality > 0) return JpegSaveFlags(encoding);
  }
  if (fif == FIF_WEBP && source.Format == FIF_WEBP && ReadWebPFacts(source.Bytes).Lossless) return WEBP_LOSSLESS;
  return 0;
}

TSaveResult EncodeFaithfully(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, const TSourceFile& source, std::vector<uint8_t>& out,
                             const TExifBlockChange& exifChange) {
  const int flags = FaithfulSaveFlags(fif, source, FreeImage_GetBPP(dib));
  if (fif == FIF_TIFF && source.Format == FIF_TIFF) KeepTiffProfile(dib, source.Bytes);
  TEncodedPicture encoded;
  TSaveResult result = EncodePicture(dib, fif, flags, encoded);
  if (!result.Ok()) return result;
  try {
    const std::span<const uint8_t> bytes = encoded.Bytes();
    // Written without metadata segments: the source's take their place.
    if ((flags & JPEG_BASELINE) && fif == FIF_JPEG)
      out = WithSourceSegments(source.Bytes, bytes, IccProfileBytes(dib));
    else
      out.assign(bytes.begin(), bytes.end());
    encoded = TEncodedPicture();
    // A JPEG source's segments are spliced in above or written by FreeImage.
    const bool exifSource =
        ExifHolder(source.Format) != gfUnknown && DetectGraphicFormat(source.Bytes) == ExifHolder(source.Format);
    if (exifSource && (fif == FIF_TIFF || (fif == FIF_JPEG && source.Format != FIF_JPEG)))
      out = WithExifOf(source.Bytes, fif, std::move(out));
    if (fif == FIF_PNG && source.Format == FIF_PNG) {
      if (IsGreyAlphaPng(source.Bytes))
        if (const std::vector<uint8_t> grey = GreyAlphaPngPixels(dib); !grey.empty())
          out = WithPngPixelsOf(grey, std::move(out));
      out = WithSourcePngChunks(source.Bytes, std::move(out), exifChange);
    }
    if (fif == FIF_WEBP)
      out = source.Format == FIF_WEBP ? WithSourceWebPChunks(source.Bytes, std::move(out), exifChange)
                                      : WithValidWebPExif(std::move(out), exifChange);
  } catch (const std::bad_alloc&) {
    result.Failure = TSaveFailure::OutOfMemory;
  }
  return result;
}
