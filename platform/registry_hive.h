#pragma once

// The in-memory tree of registry keys and values behind TRegistry.

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

// The value types this registry keeps (REG_SZ and REG_DWORD); rdUnknown
// answers for a value that does not exist.
enum class TRegDataType { rdUnknown, rdString, rdInteger };

struct TRegValue {
  QString Name;  // empty: the key's "(default)" value
  TRegDataType Type = TRegDataType::rdUnknown;
  std::uint32_t Dword = 0;  // for rdInteger
  QString Text;             // for rdString
  // The line of the hive file the value was read from, so that a warning can
  // point at it; 0 once it is set anew. Not part of what the value is.
  int Line = 0;

  static TRegValue Integer(QString name, std::uint32_t value);
  static TRegValue String(QString name, QString value);
  bool operator==(const TRegValue& other) const {
    return Name == other.Name && Type == other.Type && Dword == other.Dword && Text == other.Text;
  }
};

// A key path as its key names from the root down; empty for the root itself.
using TRegPath = QStringList;

// One key with its values and subkeys. Key and value names compare without
// regard to case and keep the case they were first created with, as on
// Windows.
class TRegKey {
public:
  explicit TRegKey(QString name = {});
  TRegKey(TRegKey&&) noexcept = default;
  TRegKey& operator=(TRegKey&&) noexcept = default;

  const QString& Name() const { return FName; }

  // Whether name may name a key: 1 to 255 characters, valid UTF-16, no
  // backslash and no control characters.
  static bool IsValidKeyName(const QString& name);
  // Keys nest at most this deep, as on Windows.
  static constexpr int MaxDepth = 512;

  // nullptr when the key at path below this one does not exist.
  TRegKey* FindKey(const TRegPath& path);
  const TRegKey* FindKey(const TRegPath& path) const;
  // The key at path, created with any missing keys above it; nullptr, with
  // nothing created, when a name in path is not a valid key name or the key
  // would lie deeper than MaxDepth below this one.
  TRegKey* CreateKey(const TRegPath& path);
  // Removes the key at path with everything below it; false when it does not
  // exist or path is empty (the root cannot be deleted).
  bool DeleteKey(const TRegPath& path);

  // Subkeys ordered by their case-folded names.
  std::vector<const TRegKey*> SubKeys() const;
  bool HasSubKeys() const { return !FSubKeys.empty(); }

  const TRegValue* FindValue(const QString& name) const;
  // Adds the value or replaces the one of the same name, whose spelling stays.
  void SetValue(TRegValue value);
  bool DeleteValue(const QString& name);
  // Values in the order they were first written.
  const std::vector<TRegValue>& Values() const { return FValues; }

private:
  TRegKey* SubKey(const QString& name) const;

  QString FName;
  std::map<QString, std::unique_ptr<TRegKey>> FSubKeys;  // by case-folded name
  std::vector<TRegValue> FValues;
  QHash<QString, std::size_t> FValueIndex;  // case-folded name -> position in FValues
};

// Splits a key argument of TRegistry into names. A leading backslash marks a
// path from the root (bAbsolute); one trailing backslash is allowed. False for
// an empty name between two backslashes.
bool SplitRegPath(const QString& key, TRegPath& path, bool& bAbsolute);
