#include "decoder/file_stamp.h"

#include "platform/file_descriptor.h"
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

int OpenRegularFile(const std::string& path) {
  // Looked at first, so that a device or a fifo is never opened; looked at
  // again once open, should it have become something else since.
  if (!IsRegularFile(path)) return -1;
  TFileDescriptor fd(OpenForReading(path));
  if (!fd.Valid() || StatusOfDescriptor(fd.Get()).kind != TFileKind::Regular) return -1;
  return fd.Release();
}

}  // namespace decoder
