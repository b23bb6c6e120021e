#include "decoder/decode_repairs.h"
#include "platform/free_bitmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace decoder {

namespace {

constexpr unsigned PhotometricSeparated = 5;
constexpr unsigned PsdModeCmyk = 4;

bool FlaggedAsInks(FIBITMAP* dib) {
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(dib);
  return icc && (icc->flags & FIICC_COLOR_IS_CMYK);
}

// The colour space an ICC profile's header names.
bool IsCmykProfile(const std::vector<std::uint8_t>& profile) {
  return profile.size() >= 20 && std::memcmp(profile.data() + 16, "CMYK", 4) == 0;
}

void CopyProfile(FIBITMAP* from, FIBITMAP* to) {
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(from);
  if (icc->data && icc->size > 0) FreeImage_CreateICCProfile(to, icc->data, icc->size);
  FreeImage_GetICCProfile(to)->flags = icc->flags;
}

FIBITMAP* Turned(FIBITMAP* dib, double angle) {
  const TFreeBitmap original(dib);
  FIBITMAP* turned = FreeImage_Rotate(dib, angle);
  if (turned) CopyProfile(dib, turned);
  return turned;
}

// dib laid out upright by its EXIF orientation, in the steps FreeImage's
// JPEG_EXIFROTATE takes.
FIBITMAP* TurnedUpright(FIBITMAP* dib) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &tag) || !tag || FreeImage_GetTagID(tag) != 0x0112 ||
      FreeImage_GetTagLength(tag) < sizeof(WORD) || !FreeImage_HasPixels(dib))
    return dib;
  switch (*static_cast<const WORD*>(FreeImage_GetTagValue(tag))) {
    case 2: FreeImage_FlipHorizontal(dib); return dib;
    case 3: return Turned(dib, 180);
    case 4: FreeImage_FlipVertical(dib); return dib;
    case 5: dib = Turned(dib, 90); break;
    case 6: return Turned(dib, -90);
    case 7: dib = Turned(dib, -90); break;
    case 8: return Turned(dib, 90);
    default: return dib;
  }
  if (dib) FreeImage_FlipVertical(dib);
  return dib;
}

}  // namespace

int InkLoadFlags(FREE_IMAGE_FORMAT fif) {
  switch (fif) {
    case FIF_JPEG: return JPEG_CMYK;
    case FIF_TIFF: return TIFF_CMYK;
    case FIF_PSD: return PSD_CMYK;
    default: return 0;
  }
}

TDecodeRepairs::TDecodeRepairs(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, int flags, unsigned directory)
    : FFormat(fif), FFlags(flags), FIo(io), FHandle(handle) {
  if (fif == FIF_JPEG && (flags & JPEG_EXIFROTATE)) {
    FTurnUpright = true;
    FFlags &= ~JPEG_EXIFROTATE;
  }
  if (fif != FIF_TIFF && fif != FIF_PSD) return;
  const long start = FIo.tell_proc(FHandle);
  if (start < 0 || FIo.seek_proc(FHandle, 0, SEEK_END) != 0) return;
  const long end = FIo.tell_proc(FHandle);
  FFileSize = end > 0 ? std::uint64_t(end) : 0;
  const TReadAt read = [this](std::uint64_t offset, void* out, std::size_t size) { return ReadAt(offset, out, size); };
  if (fif == FIF_TIFF) {
    FTiff = ReadTiffDirectoryFacts(read, FFileSize, directory);
    FHiding = FTiff.ExifDirectory && FTiff.CountSize > 0;
  } else if (flags & PSD_CMYK) {
    // Signature, version, six reserved bytes, channels, height, width,
    // depth, then the colour mode, big-endian.
    std::uint8_t header[26];
    FPsdInks = read(0, header, sizeof header) && std::memcmp(header, "8BPS", 4) == 0 &&
               (unsigned(header[24]) << 8 | header[25]) == PsdModeCmyk;
  }
  FIo.seek_proc(FHandle, start, SEEK_SET);
  FHidingIo = {HidingRead, FIo.write_proc, HidingSeek, HidingTell};
}

bool TDecodeRepairs::ReadAt(std::uint64_t offset, void* out, std::size_t size) {
  if (offset > FFileSize || size > FFileSize - offset) return false;
  const long at = FIo.tell_proc(FHandle);
  const bool done = FIo.seek_proc(FHandle, long(offset), SEEK_SET) == 0 &&
                    FIo.read_proc(out, 1, unsigned(size), FHandle) == unsigned(size);
  FIo.seek_proc(FHandle, at, SEEK_SET);
  return done;
}

// The profile's length reads as 0, so libtiff keeps no profile for the
// directory and FreeImage has none to copy.
unsigned TDecodeRepairs::HidingRead(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  auto* self = static_cast<TDecodeRepairs*>(handle);
  const long at = self->FIo.tell_proc(self->FHandle);
  const unsigned items = self->FIo.read_proc(buffer, size, count, self->FHandle);
  if (at < 0) return items;
  const std::uint64_t from = std::uint64_t(at), to = from + std::uint64_t(size) * count;
  const std::uint64_t hideFrom = self->FTiff.CountOffset, hideTo = hideFrom + self->FTiff.CountSize;
  for (std::uint64_t byte = std::max(from, hideFrom); byte < std::min(to, hideTo); ++byte)
    static_cast<std::uint8_t*>(buffer)[byte - from] = 0;
  return items;
}

int TDecodeRepairs::HidingSeek(fi_handle handle, long offset, int origin) {
  auto* self = static_cast<TDecodeRepairs*>(handle);
  return self->FIo.seek_proc(self->FHandle, offset, origin);
}

long TDecodeRepairs::HidingTell(fi_handle handle) {
  auto* self = static_cast<TDecodeRepairs*>(handle);
  return self->FIo.tell_proc(self->FHandle);
}

FIBITMAP* TDecodeRepairs::Finish(FIBITMAP* dib) {
  if (dib && FTurnUpright) dib = TurnedUpright(dib);
  if (!dib) return dib;
  const bool inks = FlaggedAsInks(dib);
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
  const unsigned bpp = FreeImage_GetBPP(dib);
  if (FHiding) {
    const std::vector<std::uint8_t> profile = ReadTiffProfile(
        [this](std::uint64_t offset, void* out, std::size_t size) { return ReadAt(offset, out, size); }, FTiff);
    // FreeImage drops the profile of CMYK pixels it turned into RGB.
    if (!profile.empty() && (inks || !IsCmykProfile(profile))) {
      const WORD flags = FreeImage_GetICCProfile(dib)->flags;
      if (FIICCPROFILE* icc =
              FreeImage_CreateICCProfile(dib, const_cast<std::uint8_t*>(profile.data()), long(profile.size())))
        icc->flags = flags;
    }
  }
  if (FFormat == FIF_TIFF && inks && FTiff.Tiled && FTiff.Photometric == PhotometricSeparated && type == FIT_BITMAP &&
      bpp == 32 && FreeImage_HasPixels(dib)) {
    const unsigned width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
    for (unsigned y = 0; y < height; ++y) {
      BYTE* pixel = FreeImage_GetScanLine(dib, int(y));
      for (unsigned x = 0; x < width; ++x, pixel += 4) std::swap(pixel[0], pixel[2]);
    }
  }
  // A CMYK file without a profile of its own: only the file says its four
  // channels are inks.
  if (FPsdInks && !inks && ((type == FIT_BITMAP && bpp == 32) || type == FIT_RGBA16))
    FreeImage_GetICCProfile(dib)->flags |= FIICC_COLOR_IS_CMYK;
  return dib;
}

}  // namespace decoder
