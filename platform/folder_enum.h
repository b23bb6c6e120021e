#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <vector>

// Attribute bits of directory entries and attribute queries, with the values
// the rest of the viewer knows from its Windows heritage.
inline constexpr quint32 faReadOnly = 0x0001;  // the owner may not write it
inline constexpr quint32 faHidden = 0x0002;    // the name starts with "."
inline constexpr quint32 faSysFile = 0x0004;   // neither a regular file nor a folder
inline constexpr quint32 faDirectory = 0x0010;
inline constexpr quint32 faSymLink = 0x0400;  // reached through a symbolic link
inline constexpr quint32 faNormal = 0x0080;   // none of the above

// Ticks of 100 ns between 1601-01-01 and 1970-01-01, both UTC.
inline constexpr qint64 UnixEpochTicks = 116444736000000000LL;

// One entry of a folder as the enumeration reports it.
struct TDirEntry {
  QString Name;      // without the folder
  qint64 Size = 0;   // bytes, of the file a link leads to
  quint32 Attr = 0;  // fa* bits
};

// What an attribute query reports for a path. Times are 100-ns ticks since
// 1601-01-01 UTC. All zero when the query fails.
struct TFileAttributeData {
  quint32 Attributes = 0;
  qint64 CreationTime = 0;
  qint64 LastAccessTime = 0;
  qint64 LastWriteTime = 0;
  qint64 Size = 0;
};

// Lists the regular files of folder (with or without a trailing "/") in the
// order the file system returns them. Left out: folders, hidden entries (a
// name starting with "."), anything that is not a regular file once links are
// followed (fifos, sockets, devices, dangling links), and names whose bytes
// are not valid text, since no path the viewer can form would reach them.
// Nothing is opened but the folder itself. False, with entries empty, when
// the folder cannot be read (missing, unreadable, not a folder). When stop is
// given and becomes true, the walk ends at the next entry.
bool EnumerateFolder(const QString& folder, std::vector<TDirEntry>& entries, const std::atomic<bool>* stop = nullptr);

// What tells whether a folder's entries are still those once read: the
// folder's identity and its modification and change times, in full
// precision. Adding, removing or renaming an entry changes the times.
struct TFolderStamp {
  quint64 Device = 0;
  quint64 Inode = 0;
  qint64 ModifiedNs = 0;  // ns since 1970-01-01 UTC
  qint64 ChangedNs = 0;
  // Whether the times were old enough, when read, that a change made after
  // the reading is bound to give other times: file systems keep times in
  // steps (a clock tick, or whole seconds), and a change in the step of the
  // last one would leave them as they were.
  bool bSettled = false;

  bool SameFolderState(const TFolderStamp& other) const {
    return Device == other.Device && Inode == other.Inode && ModifiedNs == other.ModifiedNs &&
           ChangedNs == other.ChangedNs;
  }
};

// Reads the stamp of folder (following links) and the clock. False when the
// folder cannot be examined.
bool ReadFolderStamp(const QString& folder, TFolderStamp& stamp);

// Whether times read at nowNs are settled (see TFolderStamp::bSettled). The
// step is guessed from the times: whole seconds or hundredths on file
// systems such as FAT, exFAT or ext3 (a margin of two seconds), otherwise
// a kernel clock tick (a margin of 50 ms).
bool FolderTimesSettled(qint64 modifiedNs, qint64 changedNs, qint64 nowNs);

// Attributes, times and size of path, following links; never opens it.
// False, with data all zero, when the path cannot be examined.
bool GetFileAttributeData(const QString& path, TFileAttributeData& data);

// True when path names a regular file, following links. Never opens it, so a
// fifo or a device cannot block the caller.
bool IsRegularFile(const QString& path);

// The size in bytes of the file at path (0 for anything that is not a regular
// file), or -1 when there is none. Never opens it, so a fifo cannot block.
qint64 GetFileSize64(const QString& path);

// Converts a Unix time (seconds and nanoseconds) to ticks since 1601,
// saturating instead of overflowing on absurd file times.
qint64 UnixTimeToTicks(qint64 seconds, qint64 nanoseconds);
