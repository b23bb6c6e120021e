#include "viewer/options_target.h"

#include "settings/hotkey_binding.h"
#include "viewer/tfmain.h"

bool TfmainOptionsTarget::FullScreen() const { return FWindow.State().bFullScreen; }
void TfmainOptionsTarget::ToggleFullscreen() { FWindow.ToggleFullscreen(); }

void TfmainOptionsTarget::SetFitFlags(bool bZoomToFit, bool bShrinkToFit) {
  FWindow.State().View.bZoomToFit = bZoomToFit;
  FWindow.State().View.bShrinkToFit = bShrinkToFit;
}

void TfmainOptionsTarget::BindHotkeys(const TSettings& settings) { ::BindHotkeys(FWindow.Actions(), settings); }
void TfmainOptionsTarget::Reload() { FWindow.Reload(); }
void TfmainOptionsTarget::Repaint() { FWindow.Repaint(); }
