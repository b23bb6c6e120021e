#include "decoder/camera_raw.h"
#include "platform/free_bitmap.h"

#include "decoder/decoded_picture.h"

#include <cstdio>

namespace decoder {

namespace {

constexpr FREE_IMAGE_MDMODEL ExifModels[] = {FIMD_EXIF_MAIN, FIMD_EXIF_EXIF, FIMD_EXIF_GPS, FIMD_EXIF_MAKERNOTE,
                                             FIMD_EXIF_INTEROP};

void CopyModel(FIBITMAP* to, FIBITMAP* from, FREE_IMAGE_MDMODEL model) {
  FITAG* tag = nullptr;
  FIMETADATA* search = FreeImage_FindFirstMetadata(model, from, &tag);
  if (!search) return;
  do {
    FreeImage_SetMetadata(model, to, FreeImage_GetTagKey(tag), tag);
  } while (FreeImage_FindNextMetadata(search, &tag));
  FreeImage_FindCloseMetadata(search);
}

}  // namespace

FIBITMAP* DecodeCameraRaw(FreeImageIO& io, fi_handle handle) {
  const long start = io.tell_proc(handle);
  FIBITMAP* dib = FreeImage_LoadFromHandle(FIF_RAW, &io, handle, RAW_PREVIEW);
  if (!dib) return nullptr;
  // A preview without EXIF of its own gets a few tags from LibRaw; a file
  // laid out as TIFF (NEF, CR2, ARW, DNG, PEF ...) holds its full EXIF in
  // its directories, which FreeImage's TIFF reader reads without pixels.
  TFreeBitmap header;
  if (io.seek_proc(handle, start, SEEK_SET) == 0 && FreeImage_ValidateFromHandle(FIF_TIFF, &io, handle) &&
      io.seek_proc(handle, start, SEEK_SET) == 0)
    header.Assign(FreeImage_LoadFromHandle(FIF_TIFF, &io, handle, FIF_LOAD_NOPIXELS));
  if (header && FreeImage_GetMetadataCount(FIMD_EXIF_EXIF, header.Dib()) > 0) {
    for (FREE_IMAGE_MDMODEL model : ExifModels) {
      FreeImage_SetMetadata(model, dib, nullptr, nullptr);  // clears the model
      CopyModel(dib, header.Dib(), model);
    }
    for (FREE_IMAGE_MDMODEL model : {FIMD_XMP, FIMD_IPTC})
      if (FreeImage_GetMetadataCount(model, dib) == 0) CopyModel(dib, header.Dib(), model);
  }
  MarkUpright(dib);
  return dib;
}

}  // namespace decoder
