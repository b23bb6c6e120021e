#include "platform/folder_enum.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsHiddenName(const char* name) { return name[0] == '.'; }

quint32 AttributesOf(mode_t mode, bool hidden, bool isLink) {
  quint32 attr = 0;
  if (S_ISDIR(mode))
    attr |= faDirectory;
  else if (!S_ISREG(mode))
    attr |= faSysFile;
  if ((mode & S_IWUSR) == 0) attr |= faReadOnly;
  if (hidden) attr |= faHidden;
  if (isLink) attr |= faSymLink;
  return attr == 0 ? faNormal : attr;
}

// A name we can only keep when it survives the trip to text and back:
// otherwise the path built from it would name some other file, or none.
bool DecodeName(const char* bytes, QString& name) {
  const QByteArray raw(bytes);
  name = QFile::decodeName(raw);
  return QFile::encodeName(name) == raw;
}

bool IsLink(int dirFd, const char* name) {
  struct stat st {};
  return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// The bytes of path for a system call; false for an empty path or one with
// a NUL in it, which the call would silently cut short and so name another
// file.
bool EncodePath(const QString& path, QByteArray& raw) {
  raw = QFile::encodeName(path);
  return !raw.isEmpty() && !raw.contains('\0');
}

// The name part of path, as bytes (after the last '/').
QByteArray NamePart(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? path : path.mid(slash + 1);
}

}  // namespace

qint64 UnixTimeToTicks(qint64 seconds, qint64 nanoseconds) {
  constexpr qint64 kMax = std::numeric_limits<qint64>::max();
  constexpr qint64 kMin = std::numeric_limits<qint64>::min();
  qint64 ticks = 0;
  if (__builtin_mul_overflow(seconds, qint64(10000000), &ticks)) return seconds < 0 ? kMin : kMax;
  if (__builtin_add_overflow(ticks, nanoseconds / 100, &ticks)) return nanoseconds < 0 ? kMin : kMax;
  if (__builtin_add_overflow(ticks, UnixEpochTicks, &ticks)) return kMax;
  return ticks;
}

bool EnumerateFolder(const QString& folder, std::vector<TDirEntry>& entries, const std::atomic<bool>* stop) {
  entries.clear();
  QByteArray raw;
  if (!EncodePath(folder, raw)) return false;
  // O_DIRECTORY refuses anything but a folder, O_NONBLOCK makes sure even a
  // fifo in its place could not stall the open.
  const int fd = open(raw.constData(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return false;
  }

  const int dirFd = dirfd(dir);
  for (;;) {
    if (stop && stop->load(std::memory_order_relaxed)) break;
    errno = 0;
    const dirent* ent = readdir(dir);
    if (ent == nullptr) break;  // the end, or a read error: keep what we have
    const char* rawName = ent->d_name;
    if (IsHiddenName(rawName)) continue;  // also "." and ".."

    struct stat st {};
    if (fstatat(dirFd, rawName, &st, 0) != 0) continue;  // dangling link, vanished
    if (!S_ISREG(st.st_mode)) continue;

    TDirEntry entry;
    if (!DecodeName(rawName, entry.Name)) continue;
    entry.Size = st.st_size;
    // The entry's type says whether it is a link, where the file system
    // reports one.
    const bool isLink = ent->d_type == DT_UNKNOWN ? IsLink(dirFd, rawName) : ent->d_type == DT_LNK;
    entry.Attr = AttributesOf(st.st_mode, false, isLink);
    entries.push_back(std::move(entry));
  }
  closedir(dir);  // closes fd too
  return true;
}

bool GetFileAttributeData(const QString& path, TFileAttributeData& data) {
  data = TFileAttributeData{};
  QByteArray raw;
  if (!EncodePath(path, raw)) return false;

  // One call for the times, the birth time included where the file system
  // keeps one; otherwise the last write is the earliest moment we know of.
  struct statx sx {};
  if (statx(AT_FDCWD, raw.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
  struct stat lst {};
  const bool isLink = lstat(raw.constData(), &lst) == 0 && S_ISLNK(lst.st_mode);
  const QByteArray name = NamePart(raw);

  data.Attributes = AttributesOf(sx.stx_mode, !name.isEmpty() && IsHiddenName(name.constData()), isLink);
  data.LastWriteTime = UnixTimeToTicks(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
  data.LastAccessTime = UnixTimeToTicks(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
  data.Size = S_ISREG(sx.stx_mode) ? static_cast<qint64>(sx.stx_size) : 0;
  data.CreationTime =
      (sx.stx_mask & STATX_BTIME) ? UnixTimeToTicks(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec) : data.LastWriteTime;
  return true;
}

bool IsRegularFile(const QString& path) {
  QByteArray raw;
  struct stat st {};
  return EncodePath(path, raw) && stat(raw.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

qint64 GetFileSize64(const QString& path) {
  QByteArray raw;
  struct stat st {};
  if (!EncodePath(path, raw) || stat(raw.constData(), &st) != 0) return -1;
  return S_ISREG(st.st_mode) ? static_cast<qint64>(st.st_size) : 0;
}

namespace {

constexpr qint64 NsPerSecond = 1000000000LL;

qint64 NsOf(const struct timespec& t) {
  qint64 ns = 0;
  if (__builtin_mul_overflow(static_cast<qint64>(t.tv_sec), NsPerSecond, &ns) ||
      __builtin_add_overflow(ns, static_cast<qint64>(t.tv_nsec), &ns))
    return t.tv_sec < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
  return ns;
}

// Times in steps of 10 ms or more: both fall on such a step.
bool CoarseTimes(qint64 modifiedNs, qint64 changedNs) {
  constexpr qint64 CoarseStepNs = 10000000LL;
  return modifiedNs % CoarseStepNs == 0 && changedNs % CoarseStepNs == 0;
}

}  // namespace

bool FolderTimesSettled(qint64 modifiedNs, qint64 changedNs, qint64 nowNs) {
  const qint64 marginNs = CoarseTimes(modifiedNs, changedNs) ? 2 * NsPerSecond : 50000000LL;
  const qint64 newest = std::max(modifiedNs, changedNs);
  qint64 settledAt = 0;
  if (__builtin_add_overflow(newest, marginNs, &settledAt)) return false;
  return settledAt <= nowNs;
}

bool ReadFolderStamp(const QString& folder, TFolderStamp& stamp) {
  stamp = TFolderStamp{};
  QByteArray raw;
  struct stat st {};
  if (!EncodePath(folder, raw) || stat(raw.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  stamp.Device = st.st_dev;
  stamp.Inode = st.st_ino;
  stamp.ModifiedNs = NsOf(st.st_mtim);
  stamp.ChangedNs = NsOf(st.st_ctim);
  stamp.bSettled = FolderTimesSettled(stamp.ModifiedNs, stamp.ChangedNs, NsOf(now));
  return true;
}
