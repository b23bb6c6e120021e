#pragma once

// Plain C++ over POSIX: the reads, writes and file facts every other folder
// needs, each written once, with interrupted calls retried.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Reads up to size bytes at offset; fewer only at the end of the file. -1 on
// an error (errno tells).
ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset);
// Whether exactly size bytes were read at offset.
bool ReadAllAt(int fd, void* buffer, std::size_t size, off_t offset);
// Writes all size bytes at offset: 0, or the errno of the failure.
int WriteAt(int fd, const void* buffer, std::size_t size, off_t offset);
// One read(2) at the file position: the bytes read, 0 at the end, -1 on an
// error.
ssize_t ReadSome(int fd, void* buffer, std::size_t size);

// The file path leads to, links followed; path itself when it cannot be
// resolved.
std::string ResolvedPath(const std::string& path);

enum class TFileKind { Missing, Regular, Folder, Other };

// What stat(2) tells of a file.
struct TFileStatus {
  TFileKind kind = TFileKind::Missing;
  int error = 0;  // Missing: the errno of the failure
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtimeSec = 0;
  std::int64_t mtimeNsec = 0;
};

// Follows links.
TFileStatus StatusOfPath(const std::string& path);
TFileStatus StatusOfDescriptor(int fd);
bool IsRegularFile(const std::string& path);
// 0 when this process may read (or write) the file at path, else the errno
// of the refusal (EACCES, EROFS ...).
int AccessError(const std::string& path, bool write = false);
// Whether path names a file this process may run.
bool IsExecutableFile(const std::string& path);
// The folder of the running executable, ending in "/"; empty when unknown.
std::string ExecutableFolder();

// Opens a file for reading only, never blocking on a fifo or taking a
// terminal; -1 on an error (errno tells). writable: for reading and writing.
int OpenForReading(const std::string& path, bool writable = false);
// A second descriptor of the same open file, close-on-exec; -1 on failure.
int DuplicateDescriptor(int fd);
