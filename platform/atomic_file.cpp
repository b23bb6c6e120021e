#include "platform/atomic_file.h"

#include "platform/file_attributes.h"
#include "platform/in_place_write.h"
#include "platform/leftover_cleanup.h"
#include "platform/posix_io.h"
#include "platform/temporary_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// The mode a new file gets from open(2): 0666 less the process's umask,
// read without changing it where /proc tells it.
mode_t NewFileMode() {
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return mode_t(0666 & ~mask);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mode_t(0666 & ~mask);
}

struct TListeners {
  int nextId = 1;
  std::map<int, std::function<void(const std::string&)>> items;
};

TListeners& Listeners() {
  static TListeners listeners;
  return listeners;
}

void NotifyReplaced(const std::string& path) {
  // A copy, so a listener may remove itself.
  const auto items = Listeners().items;
  for (const auto& [id, listener] : items) listener(path);
}

}  // namespace

TAtomicFile::TAtomicFile(std::string target) : FTarget(std::move(target)) {}

TAtomicFile::~TAtomicFile() { Discard(); }

bool TAtomicFile::Open() {
  if (FFd >= 0) return true;
  FError = 0;
  FFailure = TFailure::System;
  FResolved = ResolvedPath(FTarget);
  struct stat info;
  const bool exists = ::stat(FResolved.c_str(), &info) == 0;
  if (exists) {
    // Only a regular file is replaced: renaming over a folder or a device
    // would destroy something that is not ours to write.
    if (!S_ISREG(info.st_mode)) {
      FError = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
      return false;
    }
    FMode = uint32_t(info.st_mode & 07777);
  } else if (errno != ENOENT) {
    FError = errno;
    return false;
  } else {
    FMode = uint32_t(NewFileMode());
  }

  const std::string folder = ParentFolder(FResolved);
  RemoveLeftovers(folder);
  std::string temporary;
  const int fd = CreateLockedTemporary(folder, temporary);
  if (fd < 0) {
    FError = errno;
    return false;
  }
  FFd = fd;
  FTemporary = std::move(temporary);
  return true;
}

bool TAtomicFile::Write(std::span<const uint8_t> bytes) { return Write(std::vector<std::span<const uint8_t>>{bytes}); }

bool TAtomicFile::Write(const std::vector<std::span<const uint8_t>>& pieces) {
  if (FError) return false;
  if (FFd < 0) {
    FError = EBADF;
    return false;
  }
  std::vector<iovec> vectors;
  size_t next = 0;
  while (next < pieces.size()) {
    vectors.clear();
    for (size_t i = next; i < pieces.size() && vectors.size() < IOV_MAX; ++i)
      if (!pieces[i].empty()) vectors.push_back({const_cast<uint8_t*>(pieces[i].data()), pieces[i].size()});
    next = std::min(pieces.size(), next + IOV_MAX);
    iovec* current = vectors.data();
    size_t left = vectors.size();
    while (left > 0) {
      const ssize_t written = ::writev(FFd, current, int(left));
      if (written < 0) {
        if (errno == EINTR) continue;
        FError = errno;
        return false;
      }
      // Skip what was written, which may end inside a vector.
      size_t done = size_t(written);
      while (left > 0 && done >= current->iov_len) {
        done -= current->iov_len;
        ++current;
        --left;
      }
      if (left > 0) {
        current->iov_base = static_cast<uint8_t*>(current->iov_base) + done;
        current->iov_len -= done;
      }
    }
  }
  return true;
}

void TAtomicFile::Fail(int error) {
  if (!FError) FError = error ? error : EIO;
}

bool TAtomicFile::Commit() {
  if (FFd < 0) {
    if (!FError) FError = EBADF;
    return false;
  }
  struct stat current;
  const bool exists = !FError && ::stat(FResolved.c_str(), &current) == 0;
  if (exists && !S_ISREG(current.st_mode)) FError = EINVAL;
  // The other names of a file with several would keep the old content if
  // a new file took this name.
  const bool linked = exists && current.st_nlink > 1;
  bool ownerKept = true;
  TAttributeCopy attributes;
  if (!FError && exists && !linked) {
    FMode = uint32_t(current.st_mode & 07777);
    // Keeping the owner needs privileges; the group often works.
    if (::fchown(FFd, current.st_uid, current.st_gid) != 0) (void)!::fchown(FFd, uid_t(-1), current.st_gid);
    struct stat given;
    ownerKept = ::fstat(FFd, &given) == 0 && given.st_uid == current.st_uid && given.st_gid == current.st_gid;
    attributes = CarryExtendedAttributes(FResolved, FFd);
  }
  // After the attributes: setting an ACL sets the permission bits too.
  if (!FError && !linked && ::fchmod(FFd, mode_t(FMode)) != 0) FError = errno;
  if (!FError && ::fsync(FFd) != 0) FError = errno;
  // close() may report a delayed write error (NFS, quotas); a duplicate
  // keeps the file open and locked until it is in place.
  const int fd = FFd;
  FFd = -1;
  if (!FError && (FHold = ::dup(fd)) < 0) FError = errno;
  if (::close(fd) != 0 && !FError) FError = errno;
  if (!FError && BeforeAtomicReplaceHook()) BeforeAtomicReplaceHook()(FTemporary);
  if (!FError && FVerifier) {
    FVetoReason = FVerifier(FTemporary);
    if (!FVetoReason.empty()) FError = ECANCELED;
  }
  if (!FError && FBeforeReplace) FBeforeReplace();

  // Where the inode must stay and may be written, its content is replaced.
  int target = -1;
  if (!FError && (linked || !ownerKept || !attributes.Ok())) {
    target = ::open(FResolved.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat opened;
    if (target >= 0 && (::fstat(target, &opened) != 0 || opened.st_ino != current.st_ino ||
                        opened.st_dev != current.st_dev || !S_ISREG(opened.st_mode))) {
      ::close(target);
      target = -1;
      errno = EAGAIN;  // replaced by another program meanwhile
    }
    if (target < 0 && linked) {
      FError = errno;
      FFailure = TFailure::OtherNames;
    } else if (target < 0 && !attributes.Ok()) {
      FError = attributes.Error;
      FFailure = TFailure::Attribute;
      FFailureName = attributes.Name;
    }
    // An owner alone that a new file could not keep changes, as it always
    // did where the file may not be written.
  }
  bool copiesKept = false;
  if (!FError && target >= 0) {
    const TInPlaceResult result = ReplaceContentInPlace(target, FHold, FTemporary);
    FError = result.Error;
    if (result.CopiesKept) {
      copiesKept = true;
      FFailure = TFailure::CopiesKept;
      FFailureName = result.KeptCopy;
    }
  } else if (!FError && ::rename(FTemporary.c_str(), FResolved.c_str()) != 0) {
    FError = errno;
  }
  const bool inPlace = target >= 0;
  if (target >= 0) ::close(target);

  if ((FError || inPlace) && !copiesKept) ::unlink(FTemporary.c_str());
  FTemporary.clear();
  if (FHold >= 0) ::close(FHold);
  FHold = -1;
  if (FError) return false;
  if (!inPlace) {
    // Make the rename itself durable.
    const int dir = ::open(ParentFolder(FResolved).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  NotifyReplaced(FResolved);
  return true;
}

void TAtomicFile::Discard() {
  if (!FTemporary.empty()) {
    ::unlink(FTemporary.c_str());
    FTemporary.clear();
  }
  if (FFd >= 0) {
    ::close(FFd);
    FFd = -1;
  }
  if (FHold >= 0) {
    ::close(FHold);
    FHold = -1;
  }
}

std::string TAtomicFile::ErrorText() const {
  if (!FError) return {};
  const std::string reason = std::strerror(FError);
  switch (FFailure) {
    case TFailure::System: break;
    case TFailure::Attribute: return "Its extended attribute " + FFailureName + " cannot be kept: " + reason;
    case TFailure::OtherNames:
      return "It has other names (hard links), so it can only be rewritten in place, which failed: " + reason;
    case TFailure::CopiesKept:
      return reason + "; the file may be incomplete and its former content is kept in " + FFailureName;
  }
  return reason;
}

bool ReplaceFileAtomically(const std::string& target, std::span<const uint8_t> bytes, int* error) {
  TAtomicFile file(target);
  const bool ok = file.Open() && file.Write(bytes) && file.Commit();
  if (error) *error = ok ? 0 : file.Error();
  return ok;
}

int AddFileReplacedListener(std::function<void(const std::string& path)> listener) {
  const int id = Listeners().nextId++;
  Listeners().items.emplace(id, std::move(listener));
  return id;
}

void RemoveFileReplacedListener(int id) { Listeners().items.erase(id); }

std::function<void(const std::string& temporaryPath)>& BeforeAtomicReplaceHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}
