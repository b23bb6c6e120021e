#include "settings/settings.h"

void DefaultSettings(TSettings& s) {
  s.FullScreen = true;
  s.ShrinkToFit = true;
  s.ZoomToFit = true;
  s.HideMouseCursor = true;
  s.ChangeWindowSizeToFitImage = true;
  s.HotKeys = DefaultHotKeys();
  s.FirstRun = true;
  s.SortType = SortByDate;
  s.SortReversed = false;
  s.ResizeFilter = 0;
  s.dwVersion = SettingsVersion;
  s.AutoSaveAfterResize = false;
  s.AlwaysShowFilename = false;
  s.ExifRotation = true;
}
