#pragma once

#include <QLatin1String>
#include <QString>

#include <array>
#include <cstdint>

// One supported image format.
struct ftype {
  std::int32_t id = 0;  // FreeImage format code (FIF_*)
  QLatin1String name;   // short name, also the key of the association store
  QLatin1String desc;   // shown to the user
  QLatin1String Ext;    // extensions, upper case, no dots, single spaces
};

inline constexpr int SupportedFormatCount = 36;

// The formats the viewer lists, opens, saves and associates. Ordered by name:
// the save dialog numbers its filter entries by row and the associations
// dialog lists the rows in this order. XPM (FIF 23) is left out on purpose.
inline constexpr std::array<ftype, SupportedFormatCount> SupportedFormats{{
    {0, QLatin1String("BMP"), QLatin1String("Windows or OS/2 Bitmap File"), QLatin1String("BMP")},
    {21, QLatin1String("CUT"), QLatin1String("Dr. Halo"), QLatin1String("CUT")},
    {24, QLatin1String("DDS"), QLatin1String("DirectDraw Surface"), QLatin1String("DDS")},
    {29, QLatin1String("EXR"), QLatin1String("ILM OpenEXR"), QLatin1String("EXR")},
    {27, QLatin1String("FAXG3"), QLatin1String("Raw Fax format CCITT G3"), QLatin1String("G3")},
    {25, QLatin1String("GIF"), QLatin1String("Graphics Interchange Format"), QLatin1String("GIF")},
    {26, QLatin1String("HDR"), QLatin1String("High Dynamic Range"), QLatin1String("HDR")},
    {1, QLatin1String("ICO"), QLatin1String("Windows Icon"), QLatin1String("ICO")},
    {5, QLatin1String("IFF"), QLatin1String("Amiga IFF"), QLatin1String("IFF LBM")},
    {30, QLatin1String("J2K"), QLatin1String("JPEG-2000 codestream"), QLatin1String("J2K J2C")},
    {3, QLatin1String("JNG"), QLatin1String("JPEG Network Graphics"), QLatin1String("JNG")},
    {31, QLatin1String("JP2"), QLatin1String("JPEG-2000 File Format"), QLatin1String("JP2")},
    {2, QLatin1String("JPEG"), QLatin1String("Independent JPEG Group"), QLatin1String("JPG JIF JPEG JPE")},
    {36, QLatin1String("JXR"), QLatin1String("JPEG XR image format"), QLatin1String("JXR WDP HDP")},
    {4, QLatin1String("KOALA"), QLatin1String("Commodore 64 Koala format"), QLatin1String("KOA")},
    {6, QLatin1String("MNG"), QLatin1String("Multiple Network Graphics"), QLatin1String("MNG")},
    {7, QLatin1String("PBM"), QLatin1String("Portable Bitmap (ASCII)"), QLatin1String("PBM")},
    {8, QLatin1String("PBMRAW"), QLatin1String("Portable Bitmap (BINARY)"), QLatin1String("PBM")},
    {9, QLatin1String("PCD"), QLatin1String("Kodak PhotoCD"), QLatin1String("PCD")},
    {10, QLatin1String("PCX"), QLatin1String("Zsoft Paintbrush PCX bitmap format"), QLatin1String("PCX")},
    {32, QLatin1String("PFM"), QLatin1String("Portable Floatmap"), QLatin1String("PFM")},
    {11, QLatin1String("PGM"), QLatin1String("Portable Graymap (ASCII)"), QLatin1String("PGM")},
    {12, QLatin1String("PGMRAW"), QLatin1String("Portable Graymap (BINARY)"), QLatin1String("PGM")},
    {33, QLatin1String("PICT"), QLatin1String("Macintosh PICT"), QLatin1String("PCT PICT PIC")},
    {13, QLatin1String("PNG"), QLatin1String("Portable Network Graphics"), QLatin1String("PNG")},
    {14, QLatin1String("PPM"), QLatin1String("Portable Pixelmap (ASCII)"), QLatin1String("PPM")},
    {15, QLatin1String("PPMRAW"), QLatin1String("Portable Pixelmap (BINARY)"), QLatin1String("PPM")},
    {20, QLatin1String("PSD"), QLatin1String("Adobe Photoshop"), QLatin1String("PSD")},
    {16, QLatin1String("RAS"), QLatin1String("Sun Rasterfile"), QLatin1String("RAS")},
    {34, QLatin1String("RAW"), QLatin1String("RAW camera image"), QLatin1String("RAW")},
    {28, QLatin1String("SGI"), QLatin1String("Silicon Graphics SGI image format"), QLatin1String("SGI")},
    {17, QLatin1String("TARGA"), QLatin1String("Truevision Targa files"), QLatin1String("TGA TARGA")},
    {18, QLatin1String("TIFF"), QLatin1String("Tagged Image File Format"), QLatin1String("TIF TIFF")},
    {19, QLatin1String("WBMP"), QLatin1String("Wireless Bitmap"), QLatin1String("WBMP")},
    {35, QLatin1String("WEBP"), QLatin1String("Google WebP image format"), QLatin1String("WEBP")},
    {22, QLatin1String("XBM"), QLatin1String("X11 Bitmap Format"), QLatin1String("XBM")},
}};

// True when ext (as taken from a file name, leading dot included; empty when
// the name has none) is, without its dot and with ASCII case ignored, one of
// the extensions of any row.
bool IsSupportedExtension(const QString& ext);

// A copy of the row whose name equals name exactly (case-sensitive); a row
// with every field empty (id 0, empty texts) when there is none.
ftype FindFormat(const QString& name);
