#include "platform/leftover_cleanup.h"

#include "platform/file_descriptor.h"
#include "platform/in_place_write.h"
#include "platform/temporary_files.h"

#include <cstdint>
#include <set>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Calls use(name) for each entry of the folder.
template <typename Use>
void ForEachName(int folderFd, Use use) {
  const int fd = ::dup(folderFd);
  if (fd < 0) return;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") use(name);
  }
  ::closedir(dir);
}

// The name in the folder of the regular file with that inode, other than our
// own files.
std::string NameOfInode(int folderFd, uint64_t inode) {
  std::string found, temporary;
  uint64_t ignored;
  ForEachName(folderFd, [&](std::string_view name) {
    if (!found.empty() || IsTemporaryName(name) || ParseKeptCopyName(name, temporary, ignored)) return;
    const std::string candidate(name);
    struct stat info;
    if (::fstatat(folderFd, candidate.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
        uint64_t(info.st_ino) == inode)
      found = candidate;
  });
  return found;
}

// Settles the write in place that left keptName; true when its copies could go.
bool SettleKeptCopy(int folderFd, const std::string& keptName, const std::string& temporaryName, uint64_t inode) {
  const TFileDescriptor kept(TakeAbandoned(folderFd, keptName));
  if (!kept.Valid()) return false;
  const TFileDescriptor fresh(TakeAbandoned(folderFd, temporaryName));
  if (!fresh.Valid()) return false;
  const std::string targetName = NameOfInode(folderFd, inode);
  if (targetName.empty()) return false;
  constexpr int Flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  int fd = ::openat(folderFd, targetName.c_str(), O_RDWR | Flags);
  if (fd < 0) fd = ::openat(folderFd, targetName.c_str(), O_RDONLY | Flags);  // enough when it is whole
  const TFileDescriptor target(fd);
  struct stat info;
  if (!target.Valid() || ::fstat(target.Get(), &info) != 0 || uint64_t(info.st_ino) != inode ||
      !SettleInterruptedWrite(target.Get(), kept.Get(), fresh.Get()))
    return false;
  // The copy first: a temporary file without it is an ordinary leftover.
  return RemoveIfSame(folderFd, keptName, kept.Get()) && RemoveIfSame(folderFd, temporaryName, fresh.Get());
}

}  // namespace

void RemoveLeftovers(const std::string& folder) {
  const TFileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd.Valid()) return;
  std::vector<std::string> temporaries, keptCopies;
  std::string temporaryName;
  uint64_t inode = 0;
  ForEachName(folderFd.Get(), [&](std::string_view name) {
    if (IsTemporaryName(name))
      temporaries.emplace_back(name);
    else if (ParseKeptCopyName(name, temporaryName, inode))
      keptCopies.emplace_back(name);
  });

  std::set<std::string> needed;  // temporary files that kept copies still refer to
  for (const std::string& name : keptCopies)
    if (ParseKeptCopyName(name, temporaryName, inode) && !SettleKeptCopy(folderFd.Get(), name, temporaryName, inode))
      needed.insert(temporaryName);

  for (const std::string& name : temporaries) {
    if (needed.count(name)) continue;
    const TFileDescriptor abandoned(TakeAbandoned(folderFd.Get(), name));
    if (abandoned.Valid()) RemoveIfSame(folderFd.Get(), name, abandoned.Get());
  }
}
