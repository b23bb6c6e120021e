#pragma once

#include <FreeImage.h>

#include <QStringList>

#include <array>

// The metadata models in the order the information overlay lists them.
inline constexpr std::array<FREE_IMAGE_MDMODEL, 12> OverlayMetadataModels = {
    FIMD_COMMENTS, FIMD_EXIF_MAIN, FIMD_EXIF_EXIF, FIMD_EXIF_GPS,  FIMD_EXIF_MAKERNOTE, FIMD_EXIF_INTEROP,
    FIMD_IPTC,     FIMD_XMP,       FIMD_GEOTIFF,   FIMD_ANIMATION, FIMD_CUSTOM,         FIMD_EXIF_RAW};

// Replaces lines with one "key: value " line per tag of model in dib, in
// FreeImage's order, the value as MetadataValueText writes it. Tags whose key contains "exifraw" or "xml" (any case)
// are left out: they hold the raw EXIF block and XML packets, not readable
// values. A null dib or a model without tags leaves lines empty.
void CollectMetadataLines(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, QStringList& lines);

// The lines of every model of OverlayMetadataModels, one after another.
QStringList CollectAllMetadataLines(FIBITMAP* dib);
