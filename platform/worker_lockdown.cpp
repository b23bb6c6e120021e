#include "platform/worker_lockdown.h"

#include "platform/landlock_ruleset.h"
#include "platform/syscall_filter.h"
#include "platform/worker_namespaces.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace platform {

namespace {

TLockLayer Held(const char* name) { return TLockLayer{name, TLockState::Held, 0}; }
TLockLayer Failed(const char* name, int error) { return TLockLayer{name, TLockState::Failed, error}; }

// Closes every descriptor but the ones in keep (sorted, no duplicates).
int CloseAllBut(const std::vector<int>& keep) {
  unsigned from = 0;
  for (const int fd : keep) {
    if (fd < 0) continue;
    if (static_cast<unsigned>(fd) > from && ::close_range(from, static_cast<unsigned>(fd) - 1, 0) != 0) return errno;
    from = static_cast<unsigned>(fd) + 1;
  }
  return ::close_range(from, UINT_MAX, 0) == 0 ? 0 : errno;
}

TLockLayer CloseDescriptors(const TLockdownOptions& options) {
  std::vector<int> keep = options.keep;
  if (options.keepStandardError) keep.push_back(STDERR_FILENO);
  std::sort(keep.begin(), keep.end());
  keep.erase(std::unique(keep.begin(), keep.end()), keep.end());
  for (const int fd : keep)
    if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) return Failed(LayerDescriptors, EBADF);
  const int error = CloseAllBut(keep);
  return error == 0 ? Held(LayerDescriptors) : Failed(LayerDescriptors, error);
}

// Empties the environment but for TZ, and reads the local time zone now,
// while its file can still be opened. glibc reads the zone again on every
// localtime or mktime when TZ is unset (it looks whether the file changed),
// so TZ names the zone from here on and glibc keeps what it read.
TLockLayer ClearEnvironment() {
  const char* zone = std::getenv("TZ");
  const std::string keptZone = zone && *zone ? zone : "/etc/localtime";
  if (::clearenv() != 0 || ::setenv("TZ", keptZone.c_str(), 1) != 0) return Failed(LayerEnvironment, errno);
  ::tzset();
  return Held(LayerEnvironment);
}

TLockLayer ForbidNewPrivileges() {
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 ? Held(LayerNoNewPrivileges)
                                                       : Failed(LayerNoNewPrivileges, errno);
}

TLockLayer ForbidDumps() {
  // Not dumpable: no core file, and no other process of this user may trace
  // it or read its memory.
  const rlimit noCore{0, 0};
  if (::setrlimit(RLIMIT_CORE, &noCore) != 0) return Failed(LayerNotDumpable, errno);
  return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 ? Held(LayerNotDumpable) : Failed(LayerNotDumpable, errno);
}

TLockLayer FilterSystemCalls(bool allowStandardError) {
  const int error = InstallDecoderSyscallFilter(allowStandardError);
  return error == 0 ? Held(LayerSeccomp) : Failed(LayerSeccomp, error);
}

const char* StateName(TLockState state) {
  switch (state) {
    case TLockState::Held: return "held";
    case TLockState::Unavailable: return "unavailable";
    case TLockState::Failed: return "FAILED";
  }
  return "?";
}

}  // namespace

bool TLockdownReport::Locked() const {
  return !layers.empty() &&
         std::none_of(layers.begin(), layers.end(), [](const TLockLayer& l) { return l.state == TLockState::Failed; });
}

const TLockLayer* TLockdownReport::Find(const std::string& name) const {
  const auto it = std::find_if(layers.begin(), layers.end(), [&](const TLockLayer& l) { return l.name == name; });
  return it == layers.end() ? nullptr : &*it;
}

std::string TLockdownReport::Describe() const {
  std::string text;
  for (const TLockLayer& layer : layers) {
    if (!text.empty()) text += ", ";
    text += layer.name + " " + StateName(layer.state);
    if (layer.error != 0) {
      const char* name = ::strerrorname_np(layer.error);
      text += std::string(" (") + (name ? name : std::to_string(layer.error).c_str()) + ")";
    }
  }
  return text;
}

TLockdownReport LockDownWorker(const TLockdownOptions& options) {
  TLockdownReport report;
  auto& layers = report.layers;
  layers.push_back(CloseDescriptors(options));
  layers.push_back(ClearEnvironment());
  layers.push_back(ForbidNewPrivileges());
  // The namespaces come before the process stops being dumpable: its maps in
  // /proc/self belong to it only while it is.
  layers.push_back(EnterPrivateNamespaces(report.networkNamespace));
  if (layers.back().state == TLockState::Held)
    layers.push_back(PivotToEmptyRoot());
  else
    layers.push_back(TLockLayer{LayerEmptyRoot, TLockState::Unavailable, layers.back().error});
  layers.push_back(ForbidDumps());
  layers.push_back(ForbidFileSystem());
  layers.push_back(FilterSystemCalls(options.keepStandardError));
  return report;
}

}  // namespace platform
