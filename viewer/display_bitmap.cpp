#include "viewer/display_bitmap.h"

FIBITMAP* DisplayBitmap(const TFreeBitmap& workingImage, TFreeBitmap& displayCopy) {
  displayCopy.Clear();
  FIBITMAP* working = workingImage.Dib();
  if (!working) return nullptr;

  switch (FreeImage_GetImageType(working)) {
    case FIT_BITMAP:
      if (!workingImage.NeedsComposite()) return working;
      displayCopy.Assign(FreeImage_Composite(working, FALSE, nullptr, nullptr));
      // FreeImage composites only 8- and 32-bit images; a 24-bit image with a
      // background colour has nothing to composite and is drawn as it is.
      return displayCopy.IsValid() ? displayCopy.Dib() : working;
    case FIT_COMPLEX: {
      TFreeBitmap magnitude(FreeImage_GetComplexChannel(working, FICC_MAG));
      if (magnitude.IsValid()) displayCopy.Assign(FreeImage_ConvertToStandardType(magnitude.Dib(), TRUE));
      return displayCopy.Dib();
    }
    default:
      displayCopy.Assign(FreeImage_ConvertToStandardType(working, TRUE));
      return displayCopy.Dib();
  }
}
