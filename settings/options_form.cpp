#include "settings/options_form.h"

#include "platform/keys.h"
#include "settings/hotkey_binding.h"
#include "settings/settings_store.h"

TOptionsForm OptionsFormFromSettings(const TSettings& s) {
  TOptionsForm form;
  form.ChangeWindowSizeToFitImage = s.ChangeWindowSizeToFitImage;
  form.FullScreen = s.FullScreen;
  form.HideMouseCursor = s.HideMouseCursor;
  form.ShrinkToFit = s.ShrinkToFit;
  form.ZoomToFit = s.ZoomToFit;
  form.AutoSaveAfterResize = s.AutoSaveAfterResize;
  form.ExifRotation = s.ExifRotation;
  form.AlwaysShowFilename = s.AlwaysShowFilename;
  form.ResizeFilter = s.ResizeFilter;
  for (int row = 0; row < HotkeyCount; ++row)
    form.HotkeyTexts[row] = HotkeyToText(s.HotKeys[row].modifiers, s.HotKeys[row].Key);
  return form;
}

TOptionsOutcome CommitOptions(const TOptionsForm& form, TSettings& s, TOptionsTarget& target) {
  TOptionsOutcome outcome;
  s.ChangeWindowSizeToFitImage = form.ChangeWindowSizeToFitImage;
  s.FullScreen = form.FullScreen;
  s.HideMouseCursor = form.HideMouseCursor;
  s.ShrinkToFit = form.ShrinkToFit;
  s.ZoomToFit = form.ZoomToFit;
  s.ResizeFilter = form.ResizeFilter;
  s.AutoSaveAfterResize = form.AutoSaveAfterResize;
  outcome.bExifRotationChanged = form.ExifRotation != s.ExifRotation;
  s.ExifRotation = form.ExifRotation;
  s.AlwaysShowFilename = form.AlwaysShowFilename;
  for (int row = 0; row < HotkeyCount; ++row)
    TextToHotkey(form.HotkeyTexts[row], s.HotKeys[row].modifiers, s.HotKeys[row].Key);

  target.BindHotkeys(s);
  outcome.bSaved = SaveSettings(s);

  if (target.FullScreen() != s.FullScreen) target.ToggleFullscreen();
  target.SetFitFlags(s.ZoomToFit, s.ShrinkToFit);
  if (outcome.bExifRotationChanged) target.Reload();
  target.Repaint();
  return outcome;
}

TShortCut HotkeyTextShortCut(const QString& text) {
  std::uint16_t modifiers = 0;
  std::uint16_t key = 0;
  TextToHotkey(text, modifiers, key);
  return ShortCut(key, modifiers);
}

std::array<bool, HotkeyCount> DuplicateHotkeyRows(const std::array<QString, HotkeyCount>& texts) {
  std::array<TShortCut, HotkeyCount> shortCuts{};
  for (int row = 0; row < HotkeyCount; ++row) shortCuts[row] = HotkeyTextShortCut(texts[row]);
  std::array<bool, HotkeyCount> duplicate{};
  for (int a = 0; a < HotkeyCount; ++a)
    for (int b = a + 1; b < HotkeyCount; ++b)
      if (shortCuts[a] != 0 && shortCuts[a] == shortCuts[b]) duplicate[a] = duplicate[b] = true;
  return duplicate;
}

QString CapturedHotkeyText(TShortCut shortCut) {
  if (shortCut == 0) return {};
  std::uint16_t key = 0;
  TShiftState shift = 0;
  ShortCutToKey(shortCut, key, shift);
  return HotkeyToText(shift, key);
}
