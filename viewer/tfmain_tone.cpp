// Gamma, brightness and contrast steps and the grey-scale conversion. The
// steps start from the file each time, so they never pile up on the working
// image; grey-scale converts the working image as it stands.
#include "edit/cmyk_picture.h"
#include "platform/desktop_services.h"
#include "viewer/tfmain.h"

namespace {

constexpr int ConfirmationMs = 900;

}  // namespace

double& Tfmain::ToneVariable(TToneValue which) {
  switch (which) {
    case tvBrightness: return FState.Tone.fBrightness;
    case tvContrast: return FState.Tone.fContrast;
    case tvGamma: break;
  }
  return FState.Tone.fGamma;
}

void Tfmain::ApplyAdjustments(double gamma, double brightness, double contrast) {
  if (!FBitmap.IsValid()) return;
  // The curves work on red, green and blue: a CMYK picture is first turned
  // into sRGB through its profile.
  if (!ToneIsNeutral(gamma, brightness, contrast) && IsCmykPicture(FBitmap.Dib()))
    FBitmap.Replace(CmykToSrgb(FBitmap.Dib()));
  // The curves leave alpha and the transparency table alone: the bitmap's
  // composite answer stands.
  ApplyToneAdjustments(FBitmap.Dib(), gamma, brightness, contrast);
  FBitmap.Touch();
  if (!ToneIsNeutral(gamma, brightness, contrast)) bWorkingImageEdited = true;
}

bool Tfmain::ReloadForTone(TToneValue which) {
  const bool bEdited = bWorkingImageEdited;
  LoadImage(FState.sCurrentFile, false, false);
  // A file whose decode failed leaves no picture, and the value moves all
  // the same; one that is no picture any more leaves the previous one, which
  // must not get the new values on top of the old.
  if (bLastLoadReadFile) return true;
  bWorkingImageEdited = bEdited;
  FlashFailure(QStringLiteral("%1 was not changed: the file could not be read")
                   .arg(QLatin1String(ToneRange(which).name)));
  Repaint();
  return false;
}

void Tfmain::ToneStep(TToneValue which, TToneDirection direction) {
  double& value = ToneVariable(which);
  if (!ToneCanStep(which, value, direction)) {
    FlashMessage(ToneLimitMessage(which, value), ConfirmationMs);
    Beep();
    return;
  }
  if (!ReloadForTone(which)) return;
  value = ToneStepped(which, value, direction);
  ApplyAdjustments(FState.Tone.fGamma, FState.Tone.fBrightness, FState.Tone.fContrast);
  FlashMessage(ToneStepMessage(which, direction, value), ConfirmationMs);
  Repaint();
}

void Tfmain::ToneOriginal(TToneValue which) {
  if (!ReloadForTone(which)) return;
  double& value = ToneVariable(which);
  value = ToneRange(which).neutral;
  ApplyAdjustments(FState.Tone.fGamma, FState.Tone.fBrightness, FState.Tone.fContrast);
  FlashMessage(ToneOriginalMessage(which, value), ConfirmationMs);
  Repaint();
}

void Tfmain::AcGammaIncreaseExecute() { ToneStep(tvGamma, tdUp); }
void Tfmain::AcGammaDecreaseExecute() { ToneStep(tvGamma, tdDown); }
void Tfmain::AcGammaOriginalExecute() { ToneOriginal(tvGamma); }
void Tfmain::AcBrightnessIncreaseExecute() { ToneStep(tvBrightness, tdUp); }
void Tfmain::AcBrightnessDecreaseExecute() { ToneStep(tvBrightness, tdDown); }
void Tfmain::AcBrightnessOriginalExecute() { ToneOriginal(tvBrightness); }
void Tfmain::AcContrastIncreaseExecute() { ToneStep(tvContrast, tdUp); }
void Tfmain::AcContrastDecreaseExecute() { ToneStep(tvContrast, tdDown); }
void Tfmain::AcContrastOriginalExecute() { ToneOriginal(tvContrast); }

void Tfmain::acConvertToGrayScaleExecute() {
  if (FBitmap.IsValid()) {
    // An 8-bit grey picture comes back as a copy of itself: nothing changed.
    const bool grey = FBitmap.BPP() == 8 && FreeImage_GetColorType(FBitmap.Dib()) == FIC_MINISBLACK;
    // FreeImage would weigh the inks as red, green and blue.
    if (IsCmykPicture(FBitmap.Dib())) FBitmap.Replace(CmykToSrgb(FBitmap.Dib()));
    if (FBitmap.Replace(FreeImage_ConvertToGreyscale(FBitmap.Dib())) && !grey) bWorkingImageEdited = true;
  }
  Repaint();
}
