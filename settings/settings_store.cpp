#include "settings/settings_store.h"

namespace {

// The hotkey a stored value holds: modifiers in the high half, key in the low.
std::uint32_t PackHotkey(const thotkey& row) {
  return (static_cast<std::uint32_t>(row.modifiers) << 16) | row.Key;
}

void UnpackHotkey(std::uint32_t value, thotkey& row) {
  row.Key = static_cast<std::uint16_t>(value & 0xFFFF);
  row.modifiers = static_cast<std::uint16_t>(value >> 16);
}

}  // namespace

QString HotkeyValueName(int row) { return QStringLiteral("HOTKEY%1").arg(row); }

bool ReadBoolDefault(const TRegistry& reg, const QString& name, bool Default) {
  return reg.GetDataType(name) == TRegDataType::rdInteger ? reg.ReadBool(name) : Default;
}

std::int32_t ReadIntegerDefault(const TRegistry& reg, const QString& name, std::int32_t Default) {
  return reg.GetDataType(name) == TRegDataType::rdInteger ? reg.ReadInteger(name) : Default;
}

bool LoadSettings(TSettings& s) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!reg.OpenKey(SettingsKey, false)) return false;

  s.FullScreen = ReadBoolDefault(reg, QStringLiteral("FullScreen"), true);
  s.ShrinkToFit = ReadBoolDefault(reg, QStringLiteral("ShrinkToFit"), true);
  s.ZoomToFit = ReadBoolDefault(reg, QStringLiteral("ZoomToFit"), true);
  s.HideMouseCursor = ReadBoolDefault(reg, QStringLiteral("HideMouseCursor"), true);
  s.ChangeWindowSizeToFitImage = ReadBoolDefault(reg, QStringLiteral("ChangeWindowSizeToFitImage"), true);
  for (int n = 0; n < HotkeyCount; ++n) {
    const QString name = HotkeyValueName(n);
    if (reg.GetDataType(name) == TRegDataType::rdInteger) {
      UnpackHotkey(static_cast<std::uint32_t>(reg.ReadInteger(name)), s.HotKeys[n]);
    } else {
      s.HotKeys[n].Key = DefaultHotKeys()[n].Key;
      s.HotKeys[n].modifiers = DefaultHotKeys()[n].modifiers;
    }
  }
  s.FirstRun = ReadBoolDefault(reg, QStringLiteral("FirstRun"), true);
  s.SortType = ReadIntegerDefault(reg, QStringLiteral("SortType"), SortByDate);
  s.SortReversed = ReadBoolDefault(reg, QStringLiteral("SortReversed"), false);
  s.ResizeFilter = ReadIntegerDefault(reg, QStringLiteral("ResizeFilter"), 0);
  s.dwVersion = static_cast<std::uint32_t>(ReadIntegerDefault(reg, QStringLiteral("dwVersion"), 0));
  s.AutoSaveAfterResize = ReadBoolDefault(reg, QStringLiteral("AutoSaveAfterResize"), false);
  s.AlwaysShowFilename = ReadBoolDefault(reg, QStringLiteral("AlwaysShowFilename"), false);
  s.ExifRotation = ReadBoolDefault(reg, QStringLiteral("ExifRotation"), true);
  return true;
}

bool SaveSettings(const TSettings& s) {
  // All 60 values reach the disk in one write, on the Flush below.
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!reg.OpenKey(SettingsKey, true)) return false;

  reg.WriteBool(QStringLiteral("FullScreen"), s.FullScreen);
  reg.WriteBool(QStringLiteral("ShrinkToFit"), s.ShrinkToFit);
  reg.WriteBool(QStringLiteral("ZoomToFit"), s.ZoomToFit);
  reg.WriteBool(QStringLiteral("HideMouseCursor"), s.HideMouseCursor);
  reg.WriteBool(QStringLiteral("ChangeWindowSizeToFitImage"), s.ChangeWindowSizeToFitImage);
  for (int n = 0; n < HotkeyCount; ++n)
    reg.WriteInteger(HotkeyValueName(n), static_cast<std::int32_t>(PackHotkey(s.HotKeys[n])));
  reg.WriteBool(QStringLiteral("FirstRun"), s.FirstRun);
  reg.WriteInteger(QStringLiteral("SortType"), s.SortType);
  reg.WriteBool(QStringLiteral("SortReversed"), s.SortReversed);
  reg.WriteInteger(QStringLiteral("ResizeFilter"), s.ResizeFilter);
  reg.WriteInteger(QStringLiteral("dwVersion"), static_cast<std::int32_t>(s.dwVersion));
  reg.WriteBool(QStringLiteral("AutoSaveAfterResize"), s.AutoSaveAfterResize);
  reg.WriteBool(QStringLiteral("AlwaysShowFilename"), s.AlwaysShowFilename);
  reg.WriteBool(QStringLiteral("ExifRotation"), s.ExifRotation);
  return reg.Flush();
}

bool UpgradeSettings(TSettings& s) {
  if (s.dwVersion >= SettingsVersion) return false;
  s.HotKeys[HotkeyRowSaveAs].modifiers = ssCtrl;
  s.HotKeys[HotkeyRowSaveAs].Key = 'W';
  s.dwVersion = SettingsVersion;
  return true;
}

void PrepareSettingsAtStartup(TSettings& s) {
  if (LoadSettings(s)) {
    UpgradeSettings(s);
    return;
  }
  DefaultSettings(s);
  SaveSettings(s);
}
