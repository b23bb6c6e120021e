#pragma once

// JPEG XL pictures through libjxl: the first frame, turned upright by the
// file's orientation, at 8 bits a channel or, when deeper, 16; its colour
// profile, EXIF and XMP attached. It reads untrusted files from memory only.

#include <FreeImage.h>

#include <cstdint>
#include <span>

namespace decoder {

// Whether the first bytes are a JPEG XL codestream or container.
bool IsJxl(std::span<const std::uint8_t> head);

// The picture of a JPEG XL file; headerOnly: its size and metadata without
// pixels. Null when the file does not decode.
FIBITMAP* DecodeJxl(std::span<const std::uint8_t> file, bool headerOnly);

}  // namespace decoder
