#include "settings/settings_store.h"

#include "settings/hotkey_binding.h"

#include <limits>
#include <vector>

namespace {

// The hotkey a stored value holds: modifiers in the high half, key in the low.
std::uint32_t PackHotkey(const thotkey& row) { return (static_cast<std::uint32_t>(row.modifiers) << 16) | row.Key; }

void UnpackHotkey(std::uint32_t value, thotkey& row) {
  row.Key = static_cast<std::uint16_t>(value & 0xFFFF);
  row.modifiers = static_cast<std::uint16_t>(value >> 16);
}

// Reads the values of the open settings key. A value that is there but cannot
// be used as it stands is noted, so that one warning can name them all.
class TSettingsReader {
public:
  explicit TSettingsReader(const TRegistry& reg) : FReg(reg) {}

  // The stored number, or nothing when the value is absent or holds none.
  std::optional<std::uint32_t> Number(const QString& name) {
    switch (FReg.GetDataType(name)) {
      case TRegDataType::rdInteger: return static_cast<std::uint32_t>(FReg.ReadInteger(name));
      case TRegDataType::rdString: {
        const std::optional<std::uint32_t> number = NumberInText(FReg.ReadString(name));
        Note(name, number ? QStringLiteral("is a text, not a number, so the number in it is used")
                          : QStringLiteral("is a text, not a number, and is read as missing"));
        return number;
      }
      case TRegDataType::rdUnknown: break;
    }
    return std::nullopt;
  }

  bool Bool(const QString& name, bool fallback) {
    const std::optional<std::uint32_t> n = Number(name);
    return n ? *n != 0 : fallback;
  }

  std::int32_t Integer(const QString& name, std::int32_t fallback) {
    const std::optional<std::uint32_t> n = Number(name);
    return n ? static_cast<std::int32_t>(*n) : fallback;
  }

  void Hotkey(int n, thotkey& row) {
    const QString name = HotkeyValueName(n);
    const thotkey& factory = DefaultHotKeys()[n];
    std::optional<std::uint32_t> stored = Number(name);
    if (stored && !IsUsableHotkey(*stored)) {
      Note(name, QStringLiteral("is a hotkey no key press can give, so the factory hotkey %1 is used")
                     .arg(HotkeyToText(factory.modifiers, factory.Key)));
      stored.reset();
    }
    if (stored) {
      UnpackHotkey(*stored, row);
    } else {
      row.Key = factory.Key;
      row.modifiers = factory.modifiers;
    }
  }

  void ReportProblems() const { FReg.ReportUnusableValues(FProblems); }

private:
  void Note(const QString& name, const QString& problem) { FProblems.push_back({name, problem}); }

  const TRegistry& FReg;
  std::vector<TUnusableValue> FProblems;
};

}  // namespace

QString HotkeyValueName(int row) { return QStringLiteral("HOTKEY%1").arg(row); }

std::optional<std::uint32_t> NumberInText(const QString& text) {
  const QString t = text.trimmed();
  bool ok = false;
  if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    const QString digits = t.mid(2);
    const qulonglong value = digits.toULongLong(&ok, 16);
    if (ok && !digits.startsWith(u'+') && value <= std::numeric_limits<std::uint32_t>::max())
      return static_cast<std::uint32_t>(value);
    return std::nullopt;
  }
  const qlonglong value = t.toLongLong(&ok, 10);
  if (ok && value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::uint32_t>::max())
    return static_cast<std::uint32_t>(value);
  return std::nullopt;
}

bool IsUsableHotkey(std::uint32_t stored) {
  return stored == 0 || IsKeyboardKey(static_cast<std::uint16_t>(stored & 0xFFFF));
}

bool ReadBoolDefault(const TRegistry& reg, const QString& name, bool Default) {
  return TSettingsReader(reg).Bool(name, Default);
}

std::int32_t ReadIntegerDefault(const TRegistry& reg, const QString& name, std::int32_t Default) {
  return TSettingsReader(reg).Integer(name, Default);
}

TSettingsLoad LoadStoredSettings(TSettings& s, QString* why) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!reg.HiveReadError().isEmpty()) {
    if (why) *why = reg.HiveReadError();
    return TSettingsLoad::Unreadable;
  }
  if (!reg.OpenKey(SettingsKey, false)) return TSettingsLoad::NotStored;

  TSettingsReader read(reg);
  s.FullScreen = read.Bool(QStringLiteral("FullScreen"), true);
  s.ShrinkToFit = read.Bool(QStringLiteral("ShrinkToFit"), true);
  s.ZoomToFit = read.Bool(QStringLiteral("ZoomToFit"), true);
  s.HideMouseCursor = read.Bool(QStringLiteral("HideMouseCursor"), true);
  s.ChangeWindowSizeToFitImage = read.Bool(QStringLiteral("ChangeWindowSizeToFitImage"), true);
  for (int n = 0; n < HotkeyCount; ++n) read.Hotkey(n, s.HotKeys[n]);
  s.FirstRun = read.Bool(QStringLiteral("FirstRun"), true);
  s.SortType = read.Integer(QStringLiteral("SortType"), SortByDate);
  s.SortReversed = read.Bool(QStringLiteral("SortReversed"), false);
  s.ResizeFilter = read.Integer(QStringLiteral("ResizeFilter"), 0);
  s.dwVersion = static_cast<std::uint32_t>(read.Integer(QStringLiteral("dwVersion"), 0));
  s.AutoSaveAfterResize = read.Bool(QStringLiteral("AutoSaveAfterResize"), false);
  s.AlwaysShowFilename = read.Bool(QStringLiteral("AlwaysShowFilename"), false);
  s.ExifRotation = read.Bool(QStringLiteral("ExifRotation"), true);
  read.ReportProblems();
  return TSettingsLoad::Loaded;
}

bool LoadSettings(TSettings& s) { return LoadStoredSettings(s) == TSettingsLoad::Loaded; }

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

QString PrepareSettingsAtStartup(TSettings& s) {
  QString why;
  switch (LoadStoredSettings(s, &why)) {
    case TSettingsLoad::Loaded: UpgradeSettings(s); return {};
    case TSettingsLoad::NotStored:
      DefaultSettings(s);
      SaveSettings(s);
      return {};
    case TSettingsLoad::Unreadable: break;
  }
  // The file is there, so this is no first run; and it must not be replaced
  // by factory values the user never chose. (Saves fail on it anyway.)
  DefaultSettings(s);
  s.FirstRun = false;
  return QStringLiteral(
             "The settings file %1 cannot be read (%2).\n\nThe viewer runs on its factory settings and leaves the "
             "file as it is: changes made now are not saved. Make the file readable for you to have your settings "
             "back.")
      .arg(TRegistryFile::DefaultPath(), why);
}
