#include "decoder/file_stamp.h"

#include "platform/posix_io.h"

namespace decoder {

namespace {

bool FromStatus(const TFileStatus& status, TFileStamp& stamp) {
  if (status.kind != TFileKind::Regular) return false;
  stamp.dev = status.device;
  stamp.ino = status.inode;
  stamp.size = status.size;
  stamp.mtimeSec = status.mtimeSec;
  stamp.mtimeNsec = status.mtimeNsec;
  return true;
}

}  // namespace

bool StampOfPath(const std::string& path, TFileStamp& stamp) { return FromStatus(StatusOfPath(path), stamp); }

bool StampOfFd(int fd, TFileStamp& stamp) { return FromStatus(StatusOfDescriptor(fd), stamp); }

}  // namespace decoder
