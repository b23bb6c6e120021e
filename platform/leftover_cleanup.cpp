#include "platform/leftover_cleanup.h"

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

class TFd {
public:
  explicit TFd(int fd = -1) : FFd(fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }

private:
  int FFd;
};

std::vector<std::string> NamesIn(int folderFd) {
  std::vector<std::string> names;
  const int fd = ::dup(folderFd);
  if (fd < 0) return names;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return names;
  }
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

// The name in the folder of the regular file with that inode, other than our
// own files.
std::string NameOfInode(int folderFd, const std::vector<std::string>& names, uint64_t inode) {
  std::string temporary;
  uint64_t ignored;
  for (const std::string& name : names) {
    if (IsTemporaryName(name) || ParseKeptCopyName(name, temporary, ignored)) continue;
    struct stat info;
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
        uint64_t(info.st_ino) == inode)
      return name;
  }
  return {};
}

// Settles the write in place that left keptName; true when its copies could go.
bool SettleKeptCopy(int folderFd, const std::vector<std::string>& names, const std::string& keptName,
                    const std::string& temporaryName, uint64_t inode) {
  const TFd kept(TakeAbandoned(folderFd, keptName));
  if (!kept.Valid()) return false;
  const TFd fresh(TakeAbandoned(folderFd, temporaryName));
  if (!fresh.Valid()) return false;
  const std::string targetName = NameOfInode(folderFd, names, inode);
  if (targetName.empty()) return false;
  constexpr int Flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  int fd = ::openat(folderFd, targetName.c_str(), O_RDWR | Flags);
  if (fd < 0) fd = ::openat(folderFd, targetName.c_str(), O_RDONLY | Flags);  // enough when it is whole
  const TFd target(fd);
  struct stat info;
  if (!target.Valid() || ::fstat(target.Get(), &info) != 0 || uint64_t(info.st_ino) != inode ||
      !SettleInterruptedWrite(target.Get(), kept.Get(), fresh.Get()))
    return false;
  // The copy first: a temporary file without it is an ordinary leftover.
  return RemoveIfSame(folderFd, keptName, kept.Get()) && RemoveIfSame(folderFd, temporaryName, fresh.Get());
}

}  // namespace

void RemoveLeftovers(const std::string& folder) {
  const TFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd.Valid()) return;
  const std::vector<std::string> names = NamesIn(folderFd.Get());

  std::set<std::string> needed;  // temporary files that kept copies still refer to
  std::string temporaryName;
  uint64_t inode = 0;
  for (const std::string& name : names)
    if (ParseKeptCopyName(name, temporaryName, inode) &&
        !SettleKeptCopy(folderFd.Get(), names, name, temporaryName, inode))
      needed.insert(temporaryName);

  for (const std::string& name : names) {
    if (!IsTemporaryName(name) || needed.count(name)) continue;
    const TFd abandoned(TakeAbandoned(folderFd.Get(), name));
    if (abandoned.Valid()) RemoveIfSame(folderFd.Get(), name, abandoned.Get());
  }
}
