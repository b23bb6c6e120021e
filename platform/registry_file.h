#pragma once

// The file that keeps the emulated HKEY_CURRENT_USER hive (text form in
// registry_hive_text.h), shared by every viewer process of the user.

#include "platform/registry_hive.h"

#include <QString>

#include <functional>

class TRegistryFile {
public:
  explicit TRegistryFile(QString path);

  // $XDG_CONFIG_HOME/velvane/registry-hkcu.txt (~/.config when unset).
  static QString DefaultPath();

  const QString& Path() const { return FPath; }
  QString LockPath() const { return FPath + QStringLiteral(".lock"); }

  // The hive as it is on disk. A missing, damaged or unreadable file reads as
  // no keys.
  TRegKey Read() const;

  // Re-reads the hive under the lock that all viewer processes share, lets
  // apply change it and replaces the file atomically (a temporary file with
  // an unpredictable name in the same folder, flushed, then renamed over the
  // old one). A damaged or unreadable hive is first renamed aside to
  // "<name>.damaged-<date>-<time>" so nothing in it is lost. False when
  // nothing was written: the lock could not be had, the damaged file could
  // not be moved aside, or the new file could not be written.
  bool Update(const std::function<void(TRegKey&)>& apply) const;

  // Runs after the new hive is written to its temporary file and before that
  // file replaces the hive; lets tests interrupt a save at its worst moment.
  std::function<void()> OnBeforeReplace;

private:
  enum class TReadResult { Missing, Ok, Damaged };
  TReadResult Load(TRegKey& root) const;
  bool SetAside() const;

  QString FPath;
};
