#pragma once

// The formats the viewer reads beyond the 36 of SupportedFormats: the
// photos of phones (HEIF), of the web (AVIF, JPEG XL) and of cameras (RAW).
// They are listed, stepped through, decoded ahead, shown and associated like
// the 36; they are never written (Save as does not offer them, and a rotate
// or flip turns only the screen).

#include "folder/formats.h"

#include <array>
#include <vector>

struct TExtraFormat {
  ftype row;  // id -1 (no FreeImage format of its own), name, desc, Ext as in the table of 36
  // The MIME types of the extensions: the desktop's database's canonical
  // names and the aliases desktop entries also declare.
  QLatin1String MimeTypes;
  QLatin1String Decoder;  // what reads it, in the decoding worker
};

inline constexpr int ExtraFormatCount = 4;

// Listed after the 36 rows, in this order.
inline constexpr std::array<TExtraFormat, ExtraFormatCount> ExtraFormats{{
    {{-1, QLatin1String("HEIF"), QLatin1String("High Efficiency Image File (HEIC)"), QLatin1String("HEIC HEIF HIF")},
     QLatin1String("image/heif image/heic"),
     QLatin1String("libheif (HEVC through libde265)")},
    {{-1, QLatin1String("AVIF"), QLatin1String("AV1 Image File Format"), QLatin1String("AVIF")},
     QLatin1String("image/avif"),
     QLatin1String("libheif (AV1 through dav1d or libaom)")},
    {{-1, QLatin1String("JXL"), QLatin1String("JPEG XL image"), QLatin1String("JXL")},
     QLatin1String("image/jxl"),
     QLatin1String("libjxl")},
    {{-1, QLatin1String("CAMRAW"), QLatin1String("Camera RAW image (embedded preview)"),
      QLatin1String("3FR ARW CR2 CR3 CRW DCR DNG ERF KDC MEF MOS MRW NEF NRW ORF PEF RAF RW2 RWL SR2 SRF SRW X3F")},
     QLatin1String("image/x-hasselblad-3fr image/x-sony-arw image/x-canon-cr2 image/x-canon-cr3 image/x-canon-crw "
                   "image/x-kodak-dcr image/x-adobe-dng image/x-epson-erf image/x-kodak-kdc image/x-mamiya-mef "
                   "image/x-leaf-mos image/x-minolta-mrw image/x-nikon-nef image/x-nikon-nrw image/x-olympus-orf "
                   "image/x-pentax-pef image/x-fuji-raf image/x-panasonic-rw2 image/x-leica-rwl image/x-sony-sr2 "
                   "image/x-sony-srf image/x-samsung-srw image/x-sigma-x3f"),
     QLatin1String("FreeImage's RAW decoder (LibRaw), the camera's JPEG preview")},
}};

// Every row the viewer lists and associates: the 36, then the extra ones.
const std::vector<ftype>& ListedFormats();

// True when ext (leading dot included) is an extension of the 36 rows or of
// the extra ones: the files a folder list holds.
bool IsListedExtension(const QString& ext);

// The row of either table whose name equals name exactly; a row with every
// field empty when there is none.
ftype FindListedFormat(const QString& name);

// The extra row of that name, or null.
const TExtraFormat* FindExtraFormat(const QString& name);
