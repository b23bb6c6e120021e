#pragma once

// TRegistry: the current user's registry as the viewer knows it from
// Windows, kept in a hive file of our own (registry_file.h).
//
// Each object works on the hive as it was on disk when the object was
// created, plus its own changes. Its changes reach the disk in one write when
// it is freed (or on Flush): they are replayed in order on the hive as it is
// on disk at that moment, under a lock shared by all viewer processes, so two
// viewers that change different keys or values keep each other's changes.
//
// On the user-interface thread a flush waits about a second for another
// viewer's lock, elsewhere up to TRegistryFile::LongLockWait. Changes that
// could not be written because the lock stayed busy are not dropped: the
// process keeps them, every later registry object of the same hive sees them,
// and the next flush of any of them writes them first (an object without
// changes of its own only tries when the lock is free at once). What is still
// kept when the program ends is written then, waiting up to
// TRegistryFile::LongLockWait. Changes that fail otherwise (a folder that
// cannot be written ...) are dropped.
//
// Key and value names compare without regard to case and keep their case.
// The empty value name is the key's "(default)" value. A key path that begins
// with "\" is taken from the root; any other is relative to the open key (or
// the root when none is open).
//
// Where Windows raises "Invalid data type" because a value holds another type
// than the one read, this registry answers as if the value were absent:
// ReadInteger gives 0, ReadBool false and ReadString an empty text. Use
// GetDataType to tell the cases apart. Operations that cannot be carried out
// (no key open, a missing key, an invalid key name) return false and change
// nothing; nothing here throws.

#include "platform/registry_file.h"
#include "platform/registry_hive.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <vector>

using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;

// A value that a reader found but could not use as it stood.
struct TUnusableValue {
  QString Name;
  QString Problem;  // what is wrong with it and what was taken instead
};

class TRegistry {
public:
  // The user's hive (TRegistryFile::DefaultPath()).
  TRegistry();
  // The hive in the file hivePath.
  explicit TRegistry(const QString& hivePath);
  // Writes this object's changes, like Flush.
  ~TRegistry();

  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Only HKEY_CURRENT_USER is kept; under any other root no key opens.
  HKEY RootKey() const { return FRootKey; }
  void SetRootKey(HKEY rootKey);

  // Opens key, creating it and the keys above it when canCreate is set.
  bool OpenKey(const QString& key, bool canCreate);
  void CloseKey();
  // The open key's path from the root ("" for the root or when none is open).
  QString CurrentPath() const;

  bool KeyExists(const QString& key) const;
  // Removes key with all its subkeys and values.
  bool DeleteKey(const QString& key);
  bool HasSubKeys() const;
  QStringList GetKeyNames() const;
  QStringList GetValueNames() const;

  bool ValueExists(const QString& name) const;
  TRegDataType GetDataType(const QString& name) const;
  std::int32_t ReadInteger(const QString& name) const;
  bool ReadBool(const QString& name) const;  // any non-zero REG_DWORD is true
  QString ReadString(const QString& name) const;
  bool WriteInteger(const QString& name, std::int32_t value);
  bool WriteBool(const QString& name, bool value);  // REG_DWORD 0 or 1
  bool WriteString(const QString& name, const QString& value);
  bool DeleteValue(const QString& name);

  // Why the hive file could not be read when this object was made: it exists
  // but this user may not read it. The object then holds no keys, and no
  // flush writes over that file. Empty when it was read (or is missing).
  const QString& HiveReadError() const { return FFile.ReadError(); }

  // Values of the open key, as read from the hive file, that the caller
  // could not use. One warning on stderr names the file, their lines and
  // problems, and the file as it is now is copied aside before the next
  // flush replaces it, as a file with lines that cannot be read is. Values
  // this process has written since are left out.
  void ReportUnusableValues(const std::vector<TUnusableValue>& values) const;

  // Writes the changes made since the last flush, after those of this
  // process that earlier flushes could not write; true when there were none
  // or they all reached the disk. While another process holds the lock they
  // are kept for the next flush (see above).
  bool Flush();

private:
  // How long a flush with changes waits for the lock on the calling thread.
  static std::chrono::milliseconds LockWait();
  static constexpr std::chrono::milliseconds UserInterfaceLockWait{1000};

  struct TChange {
    enum class TKind { CreateKey, DeleteKey, SetValue, DeleteValue } Kind;
    TRegPath Path;
    TRegValue Value;  // SetValue: the value; DeleteValue: its name
  };
  struct TPending;
  static TPending& Pending();
  static void QueueChange(std::vector<TChange>& queue, TChange change);
  static void FlushPendingAtExit();

  // The key path meant by a key argument, or false when it is malformed.
  bool Resolve(const QString& key, TRegPath& path) const;
  const TRegKey* FindKey(const QString& key) const;
  const TRegKey* CurrentKey() const;
  TRegKey* CurrentKey();
  static void Apply(TRegKey& root, const TChange& change);
  bool Change(TChange change);

  TRegistryFile FFile;
  TRegKey FHive;
  HKEY FRootKey = HKEY_CURRENT_USER;
  bool FKeyOpen = false;
  TRegPath FCurrentPath;
  std::vector<TChange> FChanges;
};
