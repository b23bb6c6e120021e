#pragma once

#include "edit/exif/output_pieces.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Photoshop image resources holding metadata.
namespace PsdResourceID {
constexpr uint16_t Exif = 1058;
constexpr uint16_t Xmp = 1060;
}  // namespace PsdResourceID

// "8BPS", version 1 and six reserved zero bytes.
bool IsPsd(std::span<const uint8_t> file);

struct TPsdMetadata {
  std::optional<std::span<const uint8_t>> Exif;  // the first resource 1058
  std::optional<std::span<const uint8_t>> Xmp;   // the first resource 1060
};

// Finds the Exif and XMP resources. A section or resource running past the
// end of the file raises EStreamReadError.
TPsdMetadata ReadPsdMetadata(std::span<const uint8_t> file);

// The file with the first Exif and XMP resources replaced in place (removed
// when the new data is empty, appended to the resource section when absent);
// every other byte is kept.
TOutputPieces RewritePsd(std::span<const uint8_t> file, std::vector<uint8_t> exifBlock, std::vector<uint8_t> xmpPacket);
