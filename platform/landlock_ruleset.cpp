#include "platform/landlock_ruleset.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

// The ruleset attribute as the newest kernels read it; older ones are told a
// shorter size and read only the fields they know.
struct TRulesetAttr {
  std::uint64_t handledAccessFs = 0;
  std::uint64_t handledAccessNet = 0;
  std::uint64_t scoped = 0;
};

constexpr std::uint32_t CreateRulesetVersion = 1U << 0;

// File-system rights by the ABI version that introduced them: execute up to
// make-symlink (1), refer (2), truncate (3), ioctl on devices (5).
std::uint64_t FileSystemRights(long abi) {
  std::uint64_t rights = (1ULL << 13) - 1;
  if (abi >= 2) rights |= 1ULL << 13;
  if (abi >= 3) rights |= 1ULL << 14;
  if (abi >= 5) rights |= 1ULL << 15;
  return rights;
}

}  // namespace

TLockLayer ForbidFileSystem() {
#if defined(SYS_landlock_create_ruleset) && defined(SYS_landlock_restrict_self)
  const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, CreateRulesetVersion);
  if (abi < 0) {
    const int error = errno;
    const bool absent = error == ENOSYS || error == EOPNOTSUPP;
    return TLockLayer{LayerLandlock, absent ? TLockState::Unavailable : TLockState::Failed, error};
  }
  TRulesetAttr attr;
  attr.handledAccessFs = FileSystemRights(abi);
  std::size_t size = sizeof attr.handledAccessFs;
  if (abi >= 4) {
    attr.handledAccessNet = (1ULL << 0) | (1ULL << 1);  // bind and connect TCP
    size += sizeof attr.handledAccessNet;
  }
  if (abi >= 6) {
    attr.scoped = (1ULL << 0) | (1ULL << 1);  // abstract Unix sockets and signals
    size += sizeof attr.scoped;
  }
  const long ruleset = ::syscall(SYS_landlock_create_ruleset, &attr, size, 0U);
  if (ruleset < 0) return TLockLayer{LayerLandlock, TLockState::Failed, errno};
  // No rule is added: every handled right is refused everywhere.
  const long restricted = ::syscall(SYS_landlock_restrict_self, static_cast<int>(ruleset), 0U);
  const int error = errno;
  ::close(static_cast<int>(ruleset));
  if (restricted != 0) return TLockLayer{LayerLandlock, TLockState::Failed, error};
  return TLockLayer{LayerLandlock, TLockState::Held};
#else
  return TLockLayer{LayerLandlock, TLockState::Unavailable, ENOSYS};
#endif
}

}  // namespace platform
