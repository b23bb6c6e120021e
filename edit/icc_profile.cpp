#include "edit/icc_profile.h"

FIBITMAP* KeepIccProfile(FIBITMAP* source, FIBITMAP* result) {
  if (!source || !result || result == source) return result;
  const FIICCPROFILE* from = FreeImage_GetICCProfile(source);
  const FIICCPROFILE* to = FreeImage_GetICCProfile(result);
  if (from && from->data && from->size > 0 && (!to || to->size == 0)) {
    if (FIICCPROFILE* copy = FreeImage_CreateICCProfile(result, from->data, long(from->size)))
      copy->flags = from->flags;
  }
  return result;
}
