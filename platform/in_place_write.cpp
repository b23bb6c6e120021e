#include "platform/in_place_write.h"

#include "platform/file_descriptor.h"
#include "platform/posix_io.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t Chunk = size_t(1) << 20;

off_t SizeOf(int fd) {
  struct stat info;
  return ::fstat(fd, &info) == 0 ? info.st_size : -1;
}

int Flush(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

// Best effort: a folder that cannot be flushed still holds the name once the
// page cache is written, and a kill does not lose the page cache.
void FlushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Copies the first length bytes of from over the same bytes of to, in the
// kernel where the file system can (a shared extent on copy-on-write ones).
int CopyBytes(int from, int to, off_t length) {
  off_t done = 0;
  bool inKernel = true;
  std::vector<uint8_t> buffer;
  while (done < length) {
    const size_t want = size_t(std::min<off_t>(length - done, off_t(1) << 30));
    if (inKernel) {
      loff_t in = done, out = done;
      const ssize_t copied = ::copy_file_range(from, &in, to, &out, want, 0);
      if (copied > 0) {
        done += copied;
        continue;
      }
      if (copied == 0) return EIO;  // the source ended early
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
      inKernel = false;
      buffer.resize(Chunk);
    }
    const ssize_t got = ReadAt(from, buffer.data(), std::min(want, Chunk), done);
    if (got < 0) return errno;
    if (got == 0) return EIO;
    if (const int error = WriteAt(to, buffer.data(), size_t(got), done)) return error;
    done += got;
  }
  return 0;
}

// Gives to exactly the first length bytes of from, flushed.
int Overwrite(int from, int to, off_t length) {
  if (const int error = CopyBytes(from, to, length)) return error;
  if (::ftruncate(to, length) != 0) return errno;
  return Flush(to);
}

TInPlaceResult Outcome(int error) {
  TInPlaceResult result;
  result.Error = error;
  return result;
}

enum class TTargetState { Old, New, Mixed, Other };

// What an interrupted write in place left: each byte of the file is the old
// one or the new one at its place (or a hole where the file grew), and its
// length lies between the two versions' lengths.
TTargetState Classify(int targetFd, int oldFd, int newFd) {
  const off_t length = SizeOf(targetFd), oldLength = SizeOf(oldFd), newLength = SizeOf(newFd);
  if (length < 0 || oldLength < 0 || newLength < 0 || length < std::min(oldLength, newLength) ||
      length > std::max(oldLength, newLength))
    return TTargetState::Other;
  bool isOld = length == oldLength, isNew = length == newLength, isMixed = true;
  std::vector<uint8_t> target(Chunk), before(Chunk), after(Chunk);
  for (off_t at = 0; at < length && (isOld || isNew || isMixed); at += off_t(Chunk)) {
    const size_t size = size_t(std::min<off_t>(length - at, off_t(Chunk)));
    const size_t oldSize = at < oldLength ? size_t(std::min<off_t>(oldLength - at, off_t(size))) : 0;
    const size_t newSize = at < newLength ? size_t(std::min<off_t>(newLength - at, off_t(size))) : 0;
    if (ReadAt(targetFd, target.data(), size, at) != ssize_t(size) ||
        ReadAt(oldFd, before.data(), oldSize, at) != ssize_t(oldSize) ||
        ReadAt(newFd, after.data(), newSize, at) != ssize_t(newSize))
      return TTargetState::Other;
    for (size_t i = 0; i < size; ++i) {
      const bool old = i < oldSize && target[i] == before[i];
      const bool fresh = i < newSize && target[i] == after[i];
      isOld = isOld && old;
      isNew = isNew && fresh;
      isMixed = isMixed && (old || fresh || (i >= oldSize && target[i] == 0));
    }
  }
  if (isOld) return TTargetState::Old;
  if (isNew) return TTargetState::New;
  return isMixed ? TTargetState::Mixed : TTargetState::Other;
}

}  // namespace

TInPlaceResult ReplaceContentInPlace(int targetFd, int newFd, const std::string& temporaryPath) {
  struct stat target;
  const off_t newLength = SizeOf(newFd);
  if (::fstat(targetFd, &target) != 0 || newLength < 0) return Outcome(errno);
  const std::string folder = ParentFolder(temporaryPath);

  std::string copyPath;
  // Open, and so locked, until the copy is gone or left for the cleanup.
  const TFileDescriptor copy(CreateLockedTemporary(folder, copyPath));
  if (!copy.Valid()) return Outcome(errno);
  int error = CopyBytes(targetFd, copy.Get(), target.st_size);
  if (!error) error = Flush(copy.Get());
  const std::string keptPath =
      folder + (folder == "/" ? "" : "/") + KeptCopyName(LastComponent(temporaryPath), uint64_t(target.st_ino));
  if (!error && ::rename(copyPath.c_str(), keptPath.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(copyPath.c_str());
    return Outcome(error);
  }
  // The copy's name must be on disk before the file changes.
  FlushFolder(folder);

  error = Overwrite(newFd, targetFd, newLength);
  if (error && Overwrite(copy.Get(), targetFd, target.st_size) != 0) return {error, true, keptPath};
  ::unlink(keptPath.c_str());
  return Outcome(error);
}

bool SettleInterruptedWrite(int targetFd, int oldFd, int newFd) {
  switch (Classify(targetFd, oldFd, newFd)) {
    case TTargetState::Old:
    case TTargetState::New: return true;
    case TTargetState::Mixed: return Overwrite(oldFd, targetFd, SizeOf(oldFd)) == 0;
    case TTargetState::Other: break;
  }
  return false;
}
