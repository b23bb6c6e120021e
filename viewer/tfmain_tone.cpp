// Gamma, brightness and contrast steps and the grey-scale conversion, run by
// the document (the steps start from the file each time, so they never pile
// up on the working image).
#include "platform/desktop_services.h"
#include "viewer/tfmain.h"

void Tfmain::ShowResult(const TCommandResult& result) {
  if (!result.message.isEmpty()) FlashMessage(result.message, result.messageMs);
  if (result.beep) Beep();
  if (result.repaint) Repaint();
}

void Tfmain::AcGammaIncreaseExecute() {
  ShowResult(FDocument.ToneStep(FState.sCurrentFile, FState.Tone, tvGamma, tdUp));
}
void Tfmain::AcGammaDecreaseExecute() {
  ShowResult(FDocument.ToneStep(FState.sCurrentFile, FState.Tone, tvGamma, tdDown));
}
void Tfmain::AcGammaOriginalExecute() { ShowResult(FDocument.ToneOriginal(FState.sCurrentFile, FState.Tone, tvGamma)); }
void Tfmain::AcBrightnessIncreaseExecute() {
  ShowResult(FDocument.ToneStep(FState.sCurrentFile, FState.Tone, tvBrightness, tdUp));
}
void Tfmain::AcBrightnessDecreaseExecute() {
  ShowResult(FDocument.ToneStep(FState.sCurrentFile, FState.Tone, tvBrightness, tdDown));
}
void Tfmain::AcBrightnessOriginalExecute() {
  ShowResult(FDocument.ToneOriginal(FState.sCurrentFile, FState.Tone, tvBrightness));
}
void Tfmain::AcContrastIncreaseExecute() {
  ShowResult(FDocument.ToneStep(FState.sCurrentFile, FState.Tone, tvContrast, tdUp));
}
void Tfmain::AcContrastDecreaseExecute() {
  ShowResult(FDocument.ToneStep(FState.sCurrentFile, FState.Tone, tvContrast, tdDown));
}
void Tfmain::AcContrastOriginalExecute() {
  ShowResult(FDocument.ToneOriginal(FState.sCurrentFile, FState.Tone, tvContrast));
}

void Tfmain::acConvertToGrayScaleExecute() { ShowResult(FDocument.ConvertToGrayScale()); }
