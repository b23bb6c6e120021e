#include "platform/worker_namespaces.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {

namespace {

TLockLayer Layer(const char* name, TLockState state, int error = 0) { return TLockLayer{name, state, error}; }

bool WriteProcFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

// The errors unshare gives where a system forbids or limits user namespaces.
bool RefusedBySystem(int error) {
  return error == EPERM || error == EINVAL || error == ENOSPC || error == EUSERS || error == ENOSYS;
}

}  // namespace

TLockLayer EnterPrivateNamespaces(ino_t& networkNamespace) {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWIPC | CLONE_NEWNS) != 0) {
    const int error = errno;
    return Layer(LayerNamespaces, RefusedBySystem(error) ? TLockState::Unavailable : TLockState::Failed, error);
  }
  // Only our own user and group exist inside; setgroups must be refused
  // before an unprivileged process may write its group map.
  if (!WriteProcFile("/proc/self/setgroups", "deny") ||
      !WriteProcFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
      !WriteProcFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
    return Layer(LayerNamespaces, TLockState::Failed, errno);
  struct stat net {};
  if (::stat("/proc/self/ns/net", &net) == 0) networkNamespace = net.st_ino;
  return Layer(LayerNamespaces, TLockState::Held);
}

TLockLayer PivotToEmptyRoot() {
  // Our mounts must not propagate back to the system's.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return Layer(LayerEmptyRoot, TLockState::Failed, errno);
  // Any existing folder serves as the mount point: the tmpfs hides it only in
  // this mount namespace.
  const char* mountPoint = "/tmp";
  if (::mount("velvane-empty", mountPoint, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC | MS_RDONLY,
              "size=4k,nr_inodes=2,mode=0555") != 0)
    return Layer(LayerEmptyRoot, TLockState::Failed, errno);
  // pivot_root(".", ".") stacks the old root on the new one; detaching it
  // leaves the empty tmpfs alone.
  if (::chdir(mountPoint) != 0 || ::syscall(SYS_pivot_root, ".", ".") != 0 || ::umount2(".", MNT_DETACH) != 0 ||
      ::chdir("/") != 0)
    return Layer(LayerEmptyRoot, TLockState::Failed, errno);
  return Layer(LayerEmptyRoot, TLockState::Held);
}

}  // namespace platform
