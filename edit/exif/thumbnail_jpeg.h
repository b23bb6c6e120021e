#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The largest thumbnail written back as it is, and the box an oversized one
// is reduced to.
constexpr size_t MaxThumbnailSize = 61440;
constexpr int ThumbnailBoxWidth = 160, ThumbnailBoxHeight = 120;
constexpr int ThumbnailQuality = 90;

// The thumbnail as it will be written: its JPEG data cut after the EOI
// marker; when that is longer than MaxThumbnailSize, decoded, reduced to fit
// the box and re-encoded. Empty when it cannot be brought within the limit
// (an oversized thumbnail that does not decode).
std::vector<uint8_t> PrepareThumbnail(std::span<const uint8_t> jpeg);

// Decodes a JPEG image, reduces it to fit maxWidth x maxHeight keeping its
// aspect ratio (only when larger; area average), and encodes it with the
// given quality. Empty when libjpeg cannot decode or encode it, or when the
// result would be longer than maxSize bytes.
std::vector<uint8_t> ReencodeJpeg(std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, int quality,
                                  size_t maxSize = SIZE_MAX);
