#include "platform/memory_file.h"

#include "platform/posix_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

std::size_t MemoryPageSize() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

std::size_t PageRounded(std::size_t bytes) {
  const std::size_t page = MemoryPageSize();
  return (bytes + page - 1) / page * page;
}

int CreateMemoryFile(std::size_t size) {
  const int fd = ::memfd_create("velvane-decode", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return -1;
  if (size > 0 && !ResizeFile(fd, size)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool ResizeFile(int fd, std::uint64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)) == 0; }

void* MapShared(int fd, std::size_t size, std::uint64_t offset) {
  void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(offset));
  return map == MAP_FAILED ? nullptr : map;
}

void* MapAnonymous(std::size_t size) {
  void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return map == MAP_FAILED ? nullptr : map;
}

void Unmap(void* start, std::size_t size) { ::munmap(start, size); }

void CloseDescriptor(int fd) {
  if (fd >= 0) ::close(fd);
}

bool SealMemoryFile(int fd) {
  return ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}

TSealedFile TSealedFile::Adopt(TFileDescriptor fd) {
  TSealedFile file;
  if (!fd.Valid()) return file;
  const int seals = ::fcntl(fd.Get(), F_GET_SEALS);
  if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_WRITE)) != (F_SEAL_SHRINK | F_SEAL_WRITE)) return file;
  const TFileStatus status = StatusOfDescriptor(fd.Get());
  if (status.kind != TFileKind::Regular || status.size < 0) return file;
  file.FFd = std::move(fd);
  file.FSize = static_cast<std::uint64_t>(status.size);
  return file;
}

bool TSealedFile::Read(void* buffer, std::size_t bytes, std::uint64_t offset) const {
  return Valid() && Holds(offset, bytes) && ReadAllAt(FFd.Get(), buffer, bytes, static_cast<off_t>(offset));
}

std::shared_ptr<std::uint8_t> TSealedFile::MapPrivate(std::uint64_t offset, std::size_t bytes) const {
  if (!Valid() || bytes == 0 || !Holds(offset, bytes)) return nullptr;
  const std::uint64_t first = offset / MemoryPageSize() * MemoryPageSize();
  const auto lead = static_cast<std::size_t>(offset - first);
  const std::size_t length = lead + bytes;
  void* map = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE, FFd.Get(), static_cast<off_t>(first));
  if (map == MAP_FAILED) return nullptr;
  std::shared_ptr<void> mapping(map, [length](void* p) { ::munmap(p, length); });
  return std::shared_ptr<std::uint8_t>(std::move(mapping), static_cast<std::uint8_t*>(map) + lead);
}
