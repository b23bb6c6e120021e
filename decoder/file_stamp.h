#pragma once

#include <cstdint>
#include <string>

namespace decoder {

// What tells one version of a file from another: device and inode (a file
// replaced by rename gets a new inode), size and modification time.
struct TFileStamp {
  std::uint64_t dev = 0;
  std::uint64_t ino = 0;
  std::int64_t size = 0;
  std::int64_t mtimeSec = 0;
  std::int64_t mtimeNsec = 0;
  bool operator==(const TFileStamp&) const = default;
};

// The stamp of the regular file at path, following links. False when path
// is missing or is not a regular file.
bool StampOfPath(const std::string& path, TFileStamp& stamp);
// The stamp of an open file; false when it is not a regular file.
bool StampOfFd(int fd, TFileStamp& stamp);

// Opens the regular file at path for reading (close-on-exec), or returns -1.
// Anything else (a fifo, a device, a folder) is never opened: opening a
// device can have effects, and a fifo could block.
int OpenRegularFile(const std::string& path);

}  // namespace decoder
