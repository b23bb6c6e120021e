#include "viewer/display_bitmap.h"

#include "viewer/float_display.h"

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
    case FIT_RGBF:
    case FIT_RGBAF:
      // FreeImage converts neither to a standard bitmap.
      displayCopy.Assign(FloatPictureForDisplay(working, workingImage.LinearLight()));
      break;
    case FIT_RGB16:
    case FIT_RGBA16:
      // Left deep only when the load's conversion failed; the standard-type
      // conversion refuses them.
      displayCopy.Assign(FreeImage_ConvertTo32Bits(working));
      break;
    default: displayCopy.Assign(FreeImage_ConvertToStandardType(working, TRUE)); return displayCopy.Dib();
  }
  // Transparent pixels over the checkerboard, as for a standard bitmap.
  if (displayCopy.IsValid() && FreeImage_GetBPP(displayCopy.Dib()) == 32 &&
      FreeImage_IsTransparent(displayCopy.Dib())) {
    FIBITMAP* composited = FreeImage_Composite(displayCopy.Dib(), FALSE, nullptr, nullptr);
    if (composited) displayCopy.Assign(composited);
  }
  return displayCopy.Dib();
}
