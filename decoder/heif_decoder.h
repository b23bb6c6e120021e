#pragma once

// HEIF pictures (HEIC, and AVIF, which is HEIF with AV1 inside) through
// libheif: the primary picture with its rotation, mirroring and cropping
// applied, at 8 bits a channel or, when deeper, 16; its colour profile, EXIF
// and XMP attached. It reads untrusted files from memory only.

#include <FreeImage.h>

#include <cstdint>
#include <span>

namespace decoder {

enum class THeifKind { NotHeif, Heif, Avif };

// What the first bytes (at least 12) say the file is.
THeifKind HeifKindOf(std::span<const std::uint8_t> head);

// The primary picture of a HEIF or AVIF file; headerOnly: its size and
// metadata without pixels. Null when the file does not decode.
FIBITMAP* DecodeHeif(std::span<const std::uint8_t> file, bool headerOnly);

}  // namespace decoder
