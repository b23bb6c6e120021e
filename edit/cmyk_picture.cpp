#include "edit/cmyk_picture.h"
#include "platform/free_bitmap.h"

#include <lcms2.h>

#include <cstdio>
#include <memory>

namespace {

// Installed by libgs-common (ghostscript), colord-data and icc-profiles-free.
const char* const StandardCmykPaths[] = {
    "/usr/share/color/icc/ghostscript/default_cmyk.icc", "/usr/share/color/icc/colord/FOGRA39L_coated.icc",
    "/usr/share/color/icc/colord/SWOP-coated.icc",       "/usr/share/color/icc/ISOcoated_v2_eci.icc",
    "/usr/share/color/icc/ISOcoated_v2_300_eci.icc",
};
constexpr long MaxProfileBytes = 16L << 20;

// Damaged profiles are an ordinary outcome here, not something to print.
void IgnoreError(cmsContext, cmsUInt32Number, const char*) {}

std::vector<unsigned char> ReadProfile(const char* path) {
  std::vector<unsigned char> bytes;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return bytes;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > 128 && size < MaxProfileBytes && std::fseek(f, 0, SEEK_SET) == 0) {
      bytes.resize(static_cast<size_t>(size));
      if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    }
  }
  std::fclose(f);
  return bytes;
}

bool IsCmykProfile(const std::vector<unsigned char>& bytes) {
  cmsContext context = cmsCreateContext(nullptr, nullptr);
  if (!context) return false;
  cmsSetLogErrorHandlerTHR(context, IgnoreError);
  cmsHPROFILE profile = cmsOpenProfileFromMemTHR(context, bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  const bool cmyk = profile && cmsGetColorSpace(profile) == cmsSigCmykData;
  if (profile) cmsCloseProfile(profile);
  cmsDeleteContext(context);
  return cmyk;
}

}  // namespace

bool IsCmykPicture(FIBITMAP* dib) {
  if (!dib || !FreeImage_HasPixels(dib)) return false;
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(dib);
  if (!icc || !(icc->flags & FIICC_COLOR_IS_CMYK)) return false;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
  return (type == FIT_BITMAP && FreeImage_GetBPP(dib) == 32) || type == FIT_RGBA16;
}

const std::vector<unsigned char>& StandardCmykProfile() {
  static const std::vector<unsigned char> profile = [] {
    for (const char* path : StandardCmykPaths) {
      std::vector<unsigned char> bytes = ReadProfile(path);
      if (!bytes.empty() && IsCmykProfile(bytes)) return bytes;
    }
    return std::vector<unsigned char>();
  }();
  return profile;
}

std::vector<unsigned char> CmykProfileOf(FIBITMAP* dib) {
  const FIICCPROFILE* icc = dib ? FreeImage_GetICCProfile(dib) : nullptr;
  if (icc && icc->data && icc->size > 0) {
    const auto* data = static_cast<const unsigned char*>(icc->data);
    std::vector<unsigned char> own(data, data + icc->size);
    if (IsCmykProfile(own)) return own;
  }
  return StandardCmykProfile();
}

FIBITMAP* Cmyk16To8(FIBITMAP* dib) {
  if (!IsCmykPicture(dib) || FreeImage_GetImageType(dib) != FIT_RGBA16) return nullptr;
  const unsigned width = FreeImage_GetWidth(dib);
  const unsigned height = FreeImage_GetHeight(dib);
  FIBITMAP* out = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 32);
  if (!out) return nullptr;
  for (unsigned y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const FIRGBA16*>(FreeImage_GetScanLine(dib, static_cast<int>(y)));
    BYTE* p = FreeImage_GetScanLine(out, static_cast<int>(y));
    // The inks in file order, C, M, Y, K, as the 8-bit decoders lay them.
    for (unsigned x = 0; x < width; ++x, p += 4) {
      p[0] = static_cast<BYTE>(in[x].red >> 8);
      p[1] = static_cast<BYTE>(in[x].green >> 8);
      p[2] = static_cast<BYTE>(in[x].blue >> 8);
      p[3] = static_cast<BYTE>(in[x].alpha >> 8);
    }
  }
  FreeImage_CloneMetadata(out, dib);
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(dib);
  if (icc->data && icc->size > 0) FreeImage_CreateICCProfile(out, icc->data, static_cast<long>(icc->size));
  FreeImage_GetICCProfile(out)->flags = icc->flags;
  return out;
}

FIBITMAP* CmykToSrgb(FIBITMAP* dib) {
  if (!IsCmykPicture(dib)) return nullptr;
  TFreeBitmap eight;
  if (FreeImage_GetImageType(dib) == FIT_RGBA16) {
    eight.Assign(Cmyk16To8(dib));
    if (!eight) return nullptr;
    dib = eight.Dib();
  }
  const std::vector<unsigned char> bytes = CmykProfileOf(dib);
  if (bytes.empty()) return nullptr;
  cmsContext context = cmsCreateContext(nullptr, nullptr);
  if (!context) return nullptr;
  cmsSetLogErrorHandlerTHR(context, IgnoreError);
  cmsHPROFILE cmyk = cmsOpenProfileFromMemTHR(context, bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
  cmsHTRANSFORM transform =
      cmyk && srgb ? cmsCreateTransformTHR(context, cmyk, TYPE_CMYK_8, srgb, TYPE_BGR_8, CmykScreenIntent, 0) : nullptr;
  FIBITMAP* out = nullptr;
  if (transform) {
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    out = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24, FI_RGBA_RED_MASK,
                             FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (out) {
      // FreeImage's 24-bit pixels are B, G, R in memory on this machine.
      for (unsigned y = 0; y < height; ++y)
        cmsDoTransform(transform, FreeImage_GetScanLine(dib, static_cast<int>(y)),
                       FreeImage_GetScanLine(out, static_cast<int>(y)), width);
      FreeImage_CloneMetadata(out, dib);
      FreeImage_SetDotsPerMeterX(out, FreeImage_GetDotsPerMeterX(dib));
      FreeImage_SetDotsPerMeterY(out, FreeImage_GetDotsPerMeterY(dib));
    }
    cmsDeleteTransform(transform);
  }
  if (cmyk) cmsCloseProfile(cmyk);
  if (srgb) cmsCloseProfile(srgb);
  cmsDeleteContext(context);
  return out;
}

bool FormatKeepsCmyk(FREE_IMAGE_FORMAT fif) { return fif == FIF_TIFF || fif == FIF_PSD || fif == FIF_JPEG; }
