#pragma once

// The file that keeps the emulated HKEY_CURRENT_USER hive (text form in
// registry_hive_text.h), shared by every viewer process of the user.

#include "platform/registry_hive.h"

#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

class TRegistryFile {
public:
  explicit TRegistryFile(QString path);

  // $XDG_CONFIG_HOME/velvane/registry-hkcu.txt (~/.config when unset).
  static QString DefaultPath();

  const QString& Path() const { return FPath; }
  QString LockPath() const { return FPath + QStringLiteral(".lock"); }

  // The hive as it is on disk. A missing file, or one that is not a hive at
  // all, reads as no keys; so does one that exists but cannot be read (see
  // ReadError). Lines that cannot be read are skipped, with one warning on
  // stderr naming the file and the lines.
  TRegKey Read();

  // Why the last Read could not read the file: it exists but this user may
  // not read it (or reading it failed). Such a file is left where it is and
  // never written over; one warning on stderr says so. Empty when the file
  // was read, is missing or is not a hive.
  const QString& ReadError() const { return FReadError; }

  // The caller could not use the values on these lines of what the last Read
  // found (problem says how, and what was taken instead). One warning on
  // stderr names the file, the lines and the problem, and before any object
  // of this path next replaces that content it is copied aside, as for lines
  // that cannot be read.
  void WarnOfUnusableLines(const std::vector<int>& lines, const QString& problem) const;

  // Re-reads the hive under the lock that all viewer processes share, lets
  // apply change it and replaces the file atomically (a temporary file with
  // an unpredictable name in the same folder, flushed, then renamed over the
  // old one). So that nothing is lost, a file that is not a hive is first
  // renamed aside to "<name>.damaged-<date>-<time>" (one line on stderr says
  // where it went), and a hive with lines that cannot be read or values that
  // a reader could not use is first copied there. False when nothing was
  // written: the lock could not be had within lockWait (then *lockBusy is
  // set, when given), the file exists but cannot be read, the damaged file
  // could not be set aside, or the new file could not be written. The lock
  // of a live process is never broken: it is waited for.
  bool Update(const std::function<void(TRegKey&)>& apply, std::chrono::milliseconds lockWait = LongLockWait,
              bool* lockBusy = nullptr) const;

  // Saves take milliseconds; a lock held longer than this belongs to a
  // process that hangs.
  static constexpr std::chrono::milliseconds LongLockWait{10000};

  // Runs after the new hive is written to its temporary file and before that
  // file replaces the hive; lets tests interrupt a save at its worst moment.
  std::function<void()> OnBeforeReplace;

private:
  enum class TReadResult { Missing, Ok, SkippedLines, Damaged, Unreadable };
  // Reads the file into root. why tells a Damaged or Unreadable file's
  // fault; digest identifies the content read.
  TReadResult Load(TRegKey& root, QString& why, std::size_t& digest) const;
  // Moves the file aside, or copies it when bCopy is set; the new name, or
  // empty when it could not be set aside.
  QString SetAside(bool bCopy) const;

  QString FPath;
  QString FReadError;
  std::size_t FReadDigest = 0;
};
