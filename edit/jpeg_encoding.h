#pragma once

// A JPEG re-encode that keeps what the source file was: its quality (read
// from its quantisation tables), its chroma subsampling, progressive or not,
// and every metadata segment it held; and the encoder of CMYK pictures,
// which FreeImage's JPEG writer cannot write.

#include <FreeImage.h>

#include <cstdint>
#include <span>
#include <vector>

struct TJpegEncoding {
  int Quality = 0;      // 1 to 100, the lowest IJG quality whose tables are no coarser than the file's; 0 unknown
  int Subsampling = 0;  // FreeImage's JPEG_SUBSAMPLING_* flag; 0 for grey or unknown
  bool Progressive = false;
};

// How a JPEG stream was encoded; Quality 0 when its tables cannot be read.
TJpegEncoding ReadJpegEncoding(std::span<const uint8_t> jpeg);

// FreeImage's save flags for a re-encode that loses no more than it must,
// written without metadata segments (JPEG_BASELINE) so that the source's
// own can take their place.
int JpegSaveFlags(const TJpegEncoding& encoding);

// encoded (a stream written without metadata) behind every APPn and COM
// segment of source, in source's order. Adobe's APP14 comes from encoded,
// whose data its colour transform describes, and source's JFIF marker is
// left out when encoded holds inks, which JFIF cannot describe. The colour
// profile is profile, the picture's own: source's profile segments where
// they hold it, new ones in their place where they do not, none when the
// picture has none. Raises EExifError when the segments cannot be walked.
std::vector<uint8_t> WithSourceSegments(std::span<const uint8_t> source, std::span<const uint8_t> encoded,
                                        std::span<const uint8_t> profile);

// A CMYK picture (8 or 16 bits an ink) as a CMYK JPEG in Adobe's convention
// (the inks stored inverted, as ImageMagick, Photoshop and FreeImage's own
// decoder read them), with the quality, subsampling and progressive mode
// of FreeImage's JPEG save flags. Unless the flags say JPEG_BASELINE, the
// metadata FreeImage's encoder would write for dib (EXIF, XMP, IPTC,
// comments, profile) comes with it. False when dib is no CMYK picture or
// the encoder fails.
bool EncodeCmykJpeg(FIBITMAP* dib, int flags, std::vector<uint8_t>& out);
