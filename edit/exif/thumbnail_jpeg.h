#pragma once

#include "edit/exif/picture_transform.h"

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

// The thumbnail laid out by transform, as it will be written: decoded (a
// side longer than MaxTurnedThumbnailSide is first brought down to it),
// turned or mirrored, and encoded with ThumbnailQuality; when that is longer
// than MaxThumbnailSize, the pixels are reduced to fit the box before they
// are laid out (so a thumbnail turned upright stays within the box turned
// with it) and encoded again. Empty when it does not decode or cannot be
// brought within the limit.
constexpr int MaxTurnedThumbnailSide = 1024;
std::vector<uint8_t> TransformThumbnailJpeg(std::span<const uint8_t> jpeg, TPictureTransform transform);

// Decodes a JPEG image, reduces it to fit maxWidth x maxHeight keeping its
// aspect ratio (only when larger; area average), and encodes it with the
// given quality. Empty when libjpeg cannot decode or encode it, or when the
// result would be longer than maxSize bytes.
std::vector<uint8_t> ReencodeJpeg(std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, int quality,
                                  size_t maxSize = SIZE_MAX);
