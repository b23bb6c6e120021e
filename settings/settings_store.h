#pragma once

// TSettings in the registry: 60 REG_DWORD values under
// HKEY_CURRENT_USER\SOFTWARE\Norquill\Velvane.

#include "platform/registry.h"
#include "settings/settings.h"

#include <QString>

#include <cstdint>

inline const QString SettingsKey = QStringLiteral("SOFTWARE\\Norquill\\Velvane");

// The value name of hotkey row n: "HOTKEY" and n in decimal.
QString HotkeyValueName(int row);

// The value of the open key when it exists as a REG_DWORD, else the default
// (an absent value and one of another type fall back alike).
bool ReadBoolDefault(const TRegistry& reg, const QString& name, bool Default);
std::int32_t ReadIntegerDefault(const TRegistry& reg, const QString& name, std::int32_t Default);

// Reads every field, each absent value taking its fallback (the factory value,
// 0 for dwVersion, the DefaultHotKeys row for a hotkey). False, with settings
// untouched, when the key does not exist. Hotkey row names are not stored and
// stay as they were.
bool LoadSettings(TSettings& settings);

// Writes all 60 values, creating the key when missing. True when they reached
// the disk; callers that do not look at the result fail silently.
bool SaveSettings(const TSettings& settings);

// Settings older than 1.5.2.0 get "Save as" on Ctrl+W and that version, in
// memory only. True when the upgrade ran.
bool UpgradeSettings(TSettings& settings);

// The start-up step: load; with no stored record, the factory values are
// written at once; a loaded record is upgraded.
void PrepareSettingsAtStartup(TSettings& settings);
