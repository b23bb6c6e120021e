#pragma once

// Camera RAW files (NEF, CR2, ARW, DNG, RAF, ORF, RW2 ...) through
// FreeImage's RAW decoder (LibRaw): the camera's embedded full-size JPEG
// preview, which is what the camera and most viewers show, upright (LibRaw
// gives the preview the file's orientation, and FreeImage's JPEG reader
// always applies it), with the file's own EXIF where it is richer.

#include <FreeImage.h>

namespace decoder {

// The RAW file in handle (read from where it stands), as its preview. Null
// when it does not decode.
FIBITMAP* DecodeCameraRaw(FreeImageIO& io, fi_handle handle);

}  // namespace decoder
