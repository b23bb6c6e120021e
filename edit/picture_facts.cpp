#include "edit/picture_facts.h"

#include "edit/cmyk_picture.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr TModelSet Model(FREE_IMAGE_MDMODEL model) { return TModelSet(1) << model; }

// FreeImage turns a file's EXIF block into several models; the raw block
// alone is what a few formats carry.
constexpr TModelSet ExifModels = Model(FIMD_EXIF_MAIN) | Model(FIMD_EXIF_EXIF) | Model(FIMD_EXIF_GPS) |
                                 Model(FIMD_EXIF_MAKERNOTE) | Model(FIMD_EXIF_INTEROP);

std::string ModelName(int model) {
  switch (model) {
    case FIMD_COMMENTS: return "comments";
    case FIMD_EXIF_MAIN: return "EXIF data";
    case FIMD_EXIF_EXIF: return "EXIF camera data";
    case FIMD_EXIF_GPS: return "GPS data";
    case FIMD_EXIF_MAKERNOTE: return "maker note";
    case FIMD_EXIF_INTEROP: return "EXIF interoperability data";
    case FIMD_IPTC: return "IPTC data";
    case FIMD_XMP: return "XMP data";
    case FIMD_GEOTIFF: return "GeoTIFF data";
    case FIMD_ANIMATION: return "animation data";
    case FIMD_EXIF_RAW: return "EXIF block";
    default: return "metadata";
  }
}

std::string Pictures(unsigned n) { return std::to_string(n) + (n == 1 ? " picture" : " pictures"); }

bool SamePalette(const std::vector<RGBQUAD>& a, const std::vector<RGBQUAD>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].rgbRed != b[i].rgbRed || a[i].rgbGreen != b[i].rgbGreen || a[i].rgbBlue != b[i].rgbBlue) return false;
  return true;
}

// Entries missing from a transparency table are opaque.
bool SameTransparency(std::vector<uint8_t> a, std::vector<uint8_t> b) {
  const size_t size = std::max(a.size(), b.size());
  a.resize(size, 0xFF);
  b.resize(size, 0xFF);
  return a == b;
}

}  // namespace

TPictureFacts FactsOf(FIBITMAP* dib) {
  TPictureFacts facts;
  if (!dib) return facts;
  facts.Width = FreeImage_GetWidth(dib);
  facts.Height = FreeImage_GetHeight(dib);
  facts.Type = FreeImage_GetImageType(dib);
  facts.Bpp = FreeImage_GetBPP(dib);
  const FIICCPROFILE* profile = FreeImage_GetICCProfile(dib);
  facts.Icc = profile && profile->data && profile->size > 0;
  // The colour space an ICC profile's header names.
  facts.CmykIcc =
      facts.Icc && profile->size >= 20 && std::memcmp(static_cast<const char*>(profile->data) + 16, "CMYK", 4) == 0;
  facts.Cmyk = IsCmykPicture(dib);
  for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model)
    if (FreeImage_GetMetadataCount(FREE_IMAGE_MDMODEL(model), dib) > 0)
      facts.Models |= Model(FREE_IMAGE_MDMODEL(model));
  if (const RGBQUAD* palette = FreeImage_GetPalette(dib); palette && FreeImage_GetColorsUsed(dib) > 0)
    facts.Palette.assign(palette, palette + FreeImage_GetColorsUsed(dib));
  if (const BYTE* table = FreeImage_GetTransparencyTable(dib); table && FreeImage_GetTransparencyCount(dib) > 0)
    facts.Transparency.assign(table, table + FreeImage_GetTransparencyCount(dib));
  return facts;
}

bool HasAlpha(const TPictureFacts& facts) {
  if (facts.Cmyk) return false;
  switch (facts.Type) {
    case FIT_RGBA16:
    case FIT_RGBAF: return true;
    case FIT_BITMAP: return facts.Bpp == 32 || !facts.Transparency.empty();
    default: return false;
  }
}

TModelSet ModelsKept(FREE_IMAGE_FORMAT fif) {
  switch (fif) {
    case FIF_JPEG: return ExifModels | Model(FIMD_EXIF_RAW) | Model(FIMD_COMMENTS) | Model(FIMD_IPTC) | Model(FIMD_XMP);
    case FIF_TIFF: return ExifModels | Model(FIMD_IPTC) | Model(FIMD_XMP) | Model(FIMD_GEOTIFF);
    case FIF_PNG: return Model(FIMD_COMMENTS) | Model(FIMD_XMP);
    // A WebP EXIF chunk holds the TIFF block alone, which FreeImage keeps raw.
    case FIF_WEBP: return Model(FIMD_EXIF_RAW) | Model(FIMD_XMP);
    case FIF_GIF: return Model(FIMD_COMMENTS) | Model(FIMD_ANIMATION);
    default: return 0;
  }
}

bool KeepsIccProfile(FREE_IMAGE_FORMAT fif) {
  return fif == FIF_JPEG || fif == FIF_TIFF || fif == FIF_PNG || fif == FIF_WEBP;
}

std::string FormatName(FREE_IMAGE_FORMAT fif) {
  const char* name = fif == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(fif);
  return name ? name : "this format";
}

std::string PixelKindText(FREE_IMAGE_TYPE type, unsigned bpp) {
  switch (type) {
    case FIT_BITMAP: return std::to_string(bpp) + (bpp == 1 ? " bit per pixel" : " bits per pixel");
    case FIT_UINT16: return "16-bit grey pixels";
    case FIT_INT16: return "signed 16-bit pixels";
    case FIT_UINT32: return "32-bit grey pixels";
    case FIT_INT32: return "signed 32-bit pixels";
    case FIT_FLOAT: return "floating-point grey pixels";
    case FIT_DOUBLE: return "double-precision pixels";
    case FIT_COMPLEX: return "complex pixels";
    case FIT_RGB16: return "48-bit colour pixels";
    case FIT_RGBA16: return "64-bit colour pixels";
    case FIT_RGBF: return "floating-point colour pixels";
    case FIT_RGBAF: return "floating-point colour pixels with alpha";
    default: return "this kind of pixels";
  }
}

std::string CompareWrittenFile(const TPictureFacts& meant, const TCheckedFile& got) {
  const std::string file = "the new file ";
  if (got.Damaged) return file + "holds damaged data";
  if (!got.Decoded) return file + "does not decode";
  const TPictureFacts& facts = got.Facts;
  // A format known by its name only (no signature) cannot be told by content.
  if (got.ContentFormat != FIF_UNKNOWN && got.ContentFormat != meant.Format)
    return file + "is a " + FormatName(got.ContentFormat) + " file, not " + FormatName(meant.Format);
  if (facts.Pages != meant.Pages)
    return file + "holds " + Pictures(facts.Pages) + ", not " + std::to_string(meant.Pages);
  if (facts.Width != meant.Width || facts.Height != meant.Height)
    return file + "is " + std::to_string(facts.Width) + " x " + std::to_string(facts.Height) + " pixels, not " +
           std::to_string(meant.Width) + " x " + std::to_string(meant.Height);
  if (facts.Type != meant.Type || facts.Bpp != meant.Bpp)
    return file + "has " + PixelKindText(facts.Type, facts.Bpp) + ", not " + PixelKindText(meant.Type, meant.Bpp);
  if (facts.Cmyk != meant.Cmyk)
    return file + (meant.Cmyk ? "has lost its CMYK inks" : "holds CMYK inks, not RGB colours");
  if (facts.CmykIcc && !meant.CmykIcc) return file + "has a CMYK colour profile on colours that are not CMYK";
  if (!meant.Palette.empty() && !SamePalette(facts.Palette, meant.Palette)) return file + "has other colours";
  if (!meant.Transparency.empty() && !SameTransparency(facts.Transparency, meant.Transparency))
    return file + "has other transparent colours";
  if (meant.Icc && !facts.Icc) return file + "has lost its colour profile";
  const TModelSet lost = meant.Models & ~facts.Models;
  for (int model = FIMD_COMMENTS; model <= FIMD_EXIF_RAW; ++model)
    if (lost & Model(FREE_IMAGE_MDMODEL(model))) return file + "has lost its " + ModelName(model);
  return {};
}

TModelSet ExifModelSet() { return ExifModels | Model(FIMD_EXIF_RAW); }

TPictureFacts MeantFile(FIBITMAP* picture, FREE_IMAGE_FORMAT fif, unsigned pages, bool sameFormat) {
  TPictureFacts meant = FactsOf(picture);
  meant.Format = fif;
  meant.Pages = pages;
  if (meant.Cmyk && !FormatKeepsCmyk(fif)) {
    meant.Type = FIT_BITMAP;
    meant.Bpp = 24;
    meant.Cmyk = meant.Icc = meant.CmykIcc = false;
  } else if (meant.Cmyk && fif == FIF_JPEG) {
    meant.Type = FIT_BITMAP;
    meant.Bpp = 32;
  }
  meant.Icc = meant.Icc && KeepsIccProfile(fif);
  meant.Models = sameFormat ? meant.Models & ModelsKept(fif) : 0;
  const bool palette = picture && FreeImage_GetColorType(picture) == FIC_PALETTE;
  // A JPEG holds colour pictures as 24 bits.
  if (fif == FIF_JPEG && palette) meant.Bpp = 24;
  if (!palette || fif == FIF_JPEG) meant.Palette.clear();
  // Only these formats keep a palette picture's transparent colours.
  if (fif != FIF_PNG && fif != FIF_GIF) meant.Transparency.clear();
  return meant;
}
