#pragma once

// TSettings in the registry: 60 REG_DWORD values under
// HKEY_CURRENT_USER\SOFTWARE\Norquill\Velvane.

#include "platform/registry.h"
#include "settings/settings.h"

#include <QString>

#include <cstdint>
#include <optional>

inline const QString SettingsKey = QStringLiteral("SOFTWARE\\Norquill\\Velvane");

// The value name of hotkey row n: "HOTKEY" and n in decimal.
QString HotkeyValueName(int row);

// The value of the open key when it exists as a REG_DWORD, or as a text that
// holds a number (decimal, or hexadecimal after "0x"); else the default.
bool ReadBoolDefault(const TRegistry& reg, const QString& name, bool Default);
std::int32_t ReadIntegerDefault(const TRegistry& reg, const QString& name, std::int32_t Default);

// The number a hand-written text value holds, when it holds one that fits in
// 32 bits (signed or not).
std::optional<std::uint32_t> NumberInText(const QString& text);

// Whether a stored hotkey can ever run its command: no key at all (0), or a
// key a key press gives (platform/keys.h) with any modifiers. Modifier bits
// other than Shift, Ctrl and Alt are carried along and ignored.
bool IsUsableHotkey(std::uint32_t stored);

enum class TSettingsLoad {
  Loaded,      // every field read
  NotStored,   // no settings key
  Unreadable,  // the settings file exists but may not be read
};

// Reads every field, each absent value taking its fallback (the factory value,
// 0 for dwVersion, the DefaultHotKeys row for a hotkey). A text that holds a
// number counts as that number; any other text is read as missing, and so is
// a hotkey no key press can give. Values of these two kinds are named in one
// warning on stderr and the file is copied aside before the next save (see
// TRegistry::ReportUnusableValues). Settings stay untouched unless Loaded;
// for Unreadable, why says what stopped the reading. Hotkey row names are
// not stored and stay as they were.
TSettingsLoad LoadStoredSettings(TSettings& settings, QString* why = nullptr);

// LoadStoredSettings, true when Loaded.
bool LoadSettings(TSettings& settings);

// Writes all 60 values, creating the key when missing. True when they reached
// the disk; callers that do not look at the result fail silently.
bool SaveSettings(const TSettings& settings);

// Settings older than 1.5.2.0 get "Save as" on Ctrl+W and that version, in
// memory only. True when the upgrade ran.
bool UpgradeSettings(TSettings& settings);

// The start-up step: load; with no stored record, the factory values are
// written at once; a loaded record is upgraded. A settings file that may not
// be read gives the factory values for the run, without the first-run step
// and without writing over the file; the text returned then tells the user
// so (empty otherwise).
QString PrepareSettingsAtStartup(TSettings& settings);
