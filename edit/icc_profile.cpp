#include "edit/icc_profile.h"

FIBITMAP* KeepIccProfile(FIBITMAP* source, FIBITMAP* result) {
  if (!source || !result || result == source) return result;
  const FIICCPROFILE* from = FreeImage_GetICCProfile(source);
  const FIICCPROFILE* to = FreeImage_GetICCProfile(result);
  if (from && from->data && from->size > 0 && (!to || to->size == 0)) {
    if (FIICCPROFILE* copy = FreeImage_CreateICCProfile(result, from->data, long(from->size)))
      copy->flags = from->flags;
  } else if (from && to && (from->flags & FIICC_COLOR_IS_CMYK) &&
             FreeImage_GetBPP(result) == FreeImage_GetBPP(source)) {
    // A CMYK picture without a profile of its own: only the flag says its
    // bytes are inks, and the result's bytes are too.
    FreeImage_GetICCProfile(result)->flags |= FIICC_COLOR_IS_CMYK;
  }
  return result;
}

std::span<const uint8_t> IccProfileBytes(FIBITMAP* dib) {
  const FIICCPROFILE* icc = dib ? FreeImage_GetICCProfile(dib) : nullptr;
  if (!icc || !icc->data || icc->size <= 0) return {};
  return {static_cast<const uint8_t*>(icc->data), size_t(icc->size)};
}
