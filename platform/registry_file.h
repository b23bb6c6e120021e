#pragma once

// The file that keeps the emulated HKEY_CURRENT_USER hive (text form in
// registry_hive_text.h), shared by every viewer process of the user.

#include "platform/registry_hive.h"

#include <QString>

#include <chrono>
#include <functional>

class TRegistryFile {
public:
  explicit TRegistryFile(QString path);

  // $XDG_CONFIG_HOME/velvane/registry-hkcu.txt (~/.config when unset).
  static QString DefaultPath();

  const QString& Path() const { return FPath; }
  QString LockPath() const { return FPath + QStringLiteral(".lock"); }

  // The hive as it is on disk. A missing or unreadable file, or one that is
  // not a hive at all, reads as no keys. Lines that cannot be read are
  // skipped, with one warning on stderr naming the file and the lines.
  TRegKey Read() const;

  // Re-reads the hive under the lock that all viewer processes share, lets
  // apply change it and replaces the file atomically (a temporary file with
  // an unpredictable name in the same folder, flushed, then renamed over the
  // old one). So that nothing is lost, a file that is not a hive or cannot
  // be read is first renamed aside to "<name>.damaged-<date>-<time>", and a
  // hive with lines that cannot be read is first copied there. False when
  // nothing was written: the lock could not be had within lockWait (then
  // *lockBusy is set, when given), the damaged file could not be set aside,
  // or the new file could not be written. The lock of a live process is
  // never broken: it is waited for.
  bool Update(const std::function<void(TRegKey&)>& apply, std::chrono::milliseconds lockWait = LongLockWait,
              bool* lockBusy = nullptr) const;

  // Saves take milliseconds; a lock held longer than this belongs to a
  // process that hangs.
  static constexpr std::chrono::milliseconds LongLockWait{10000};

  // Runs after the new hive is written to its temporary file and before that
  // file replaces the hive; lets tests interrupt a save at its worst moment.
  std::function<void()> OnBeforeReplace;

private:
  enum class TReadResult { Missing, Ok, SkippedLines, Damaged };
  TReadResult Load(TRegKey& root) const;
  // Moves the file aside, or copies it when bCopy is set.
  bool SetAside(bool bCopy) const;

  QString FPath;
};
