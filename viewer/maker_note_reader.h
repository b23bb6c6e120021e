#pragma once

#include "viewer/metadata_values.h"

#include <QByteArray>

#include <cstdint>
#include <map>

// FreeImage reads the values of a Nikon maker note of the kind with its own
// TIFF header from the wrong place: every value too long to sit in its
// directory entry comes from an offset counted from the EXIF block's header
// instead of the note's, so text and numbers come out as unrelated bytes.
// This reads such a note again from the raw EXIF block (FreeImage's
// "ExifRaw" tag, with or without its "Exif\0\0" start), every value in this
// machine's byte order as FreeImage keeps them. Empty for any other kind of
// note and for a block that does not hold together; nothing is read outside
// the block.
std::map<std::uint16_t, TTagData> ReadNikonMakerNote(const QByteArray& exifRaw);
