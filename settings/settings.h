#pragma once

#include "settings/hotkey_table.h"

#include <array>
#include <cstdint>

// Every persisted preference of the viewer; one instance lives in the
// application context. Fields in their stored order.
struct TSettings {
  bool FullScreen = false;
  bool ShrinkToFit = false;
  bool ZoomToFit = false;
  bool HideMouseCursor = false;
  bool ChangeWindowSizeToFitImage = false;
  std::array<thotkey, HotkeyCount> HotKeys{};
  bool FirstRun = false;
  std::int32_t SortType = 0;
  bool SortReversed = false;
  std::int32_t ResizeFilter = 0;
  std::uint32_t dwVersion = 0;
  bool AutoSaveAfterResize = false;
  bool AlwaysShowFilename = false;
  bool ExifRotation = false;
};

// The version these settings are written as (1.5.2.0).
inline constexpr std::uint32_t SettingsVersion = 0x01050200;

// Sort keys of TSettings::SortType.
inline constexpr std::int32_t SortByName = 0;
inline constexpr std::int32_t SortByDate = 1;
inline constexpr std::int32_t SortBySize = 2;

// Factory values, the hotkey rows a copy of DefaultHotKeys (names included).
void DefaultSettings(TSettings& settings);
