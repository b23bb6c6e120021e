#pragma once

#include "settings/options_form.h"

class Tfmain;

// The main window as the options dialog's OK changes it.
class TfmainOptionsTarget final : public TOptionsTarget {
public:
  explicit TfmainOptionsTarget(Tfmain& window) : FWindow(window) {}

  bool FullScreen() const override;
  void ToggleFullscreen() override;
  void SetFitFlags(bool bZoomToFit, bool bShrinkToFit) override;
  void BindHotkeys(const TSettings& settings) override;
  void Reload() override;
  void Repaint() override;

private:
  Tfmain& FWindow;
};
