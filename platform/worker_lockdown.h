#pragma once

// Locks the decoding worker in before it reads its first request: after this
// a process can use the descriptors it kept, memory, threads, memfds and the
// clock, and nothing else (no file, no socket, no program, no other process).
// Plain C++ and Linux calls, no Qt. Call it once, while the process has a
// single thread, after everything it needs from the file system is open.

#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

enum class TLockState {
  Held,         // the layer is in place
  Unavailable,  // this system refuses it (an old kernel, namespaces switched off)
  Failed,       // it should have worked and did not
};

struct TLockLayer {
  std::string name;
  TLockState state = TLockState::Failed;
  int error = 0;  // errno of the call that failed or was refused
};

struct TLockdownReport {
  std::vector<TLockLayer> layers;
  // The network namespace the process ended in (its inode), 0 when unknown.
  ino_t networkNamespace = 0;

  // True when no layer failed; a layer the system does not offer is no failure.
  bool Locked() const;
  const TLockLayer* Find(const std::string& name) const;
  // One line, e.g. "descriptors held, ..., namespaces unavailable (EPERM), ...".
  std::string Describe() const;
};

struct TLockdownOptions {
  // Descriptors that stay open (the worker's socket); every other one closes.
  std::vector<int> keep;
  // Keeps standard error open and writable, for debugging; otherwise it closes
  // and the filter refuses every write to it.
  bool keepStandardError = false;
};

// Layer names, in the order they are applied.
inline constexpr const char* LayerDescriptors = "descriptors";
inline constexpr const char* LayerEnvironment = "environment";
inline constexpr const char* LayerNoNewPrivileges = "no-new-privileges";
inline constexpr const char* LayerNamespaces = "namespaces";
inline constexpr const char* LayerEmptyRoot = "empty root";
inline constexpr const char* LayerNotDumpable = "not dumpable";
inline constexpr const char* LayerLandlock = "landlock";
inline constexpr const char* LayerSeccomp = "seccomp";

// Applies every layer in turn, going on past one that failed so the process
// ends up as closed as this system allows, and says what held.
TLockdownReport LockDownWorker(const TLockdownOptions& options);

}  // namespace platform
