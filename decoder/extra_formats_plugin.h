#pragma once

// The newer formats (HEIF, AVIF, JPEG XL) as FreeImage plugins, so that
// identification by content and by name, the worker's requests and replies,
// and the names of formats in messages treat them as any other format:
// FreeImage reads them (in the worker), never writes them.
//
// Every process registers them, in the same order, so that their format
// codes agree between the viewer and the worker. Only the worker gives them
// their readers (RegisterExtraDecoders, decoder/extra_plugins.h): in the
// viewer they have names and extensions, and read nothing.

#include <FreeImage.h>

#include <cstdint>
#include <span>

namespace decoder {

struct TExtraFormats {
  FREE_IMAGE_FORMAT heif = FIF_UNKNOWN;
  FREE_IMAGE_FORMAT avif = FIF_UNKNOWN;
  FREE_IMAGE_FORMAT jxl = FIF_UNKNOWN;
};

enum class TExtraKind { Heif, Avif, Jxl };

// A reader of one of the formats: whether the first bytes are one of its
// files, and the decode of a whole file (headerOnly: without pixels).
struct TExtraReader {
  bool (*matches)(std::span<const std::uint8_t> head) = nullptr;
  FIBITMAP* (*decode)(std::span<const std::uint8_t> file, bool headerOnly) = nullptr;
};

// Registers the plugins once (after FreeImage_Initialise) and returns their
// format codes; later calls return the same codes.
const TExtraFormats& RegisterExtraFormats();

// Gives the plugin of kind its reader (the worker's, and tests').
void SetExtraReader(TExtraKind kind, const TExtraReader& reader);

}  // namespace decoder
