#include "platform/syscall_filter.h"

#include <seccomp.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>

namespace platform {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
// A sanitizer's report reads the process's maps and writes to standard error,
// and LeakSanitizer stops the world with a tracing helper: in a sanitizer
// build the calls that would end the process only fail, and writes may go
// anywhere. The filter is weaker there, never in a release build.
constexpr bool SanitizerBuild = true;
#else
constexpr bool SanitizerBuild = false;
#endif

class TFilter {
public:
  TFilter() : FContext(seccomp_init(SCMP_ACT_ERRNO(EPERM))) {}
  ~TFilter() {
    if (FContext) seccomp_release(FContext);
  }
  TFilter(const TFilter&) = delete;
  TFilter& operator=(const TFilter&) = delete;

  bool Valid() const { return FContext != nullptr; }
  int Error() const { return FError; }

  void Allow(std::initializer_list<int> calls) {
    for (const int call : calls) Add(SCMP_ACT_ALLOW, call, {});
  }
  void Kill(std::initializer_list<int> calls) {
    for (const int call : calls) Add(KillAction(), call, {});
  }
  void Add(std::uint32_t action, int call, std::initializer_list<scmp_arg_cmp> args) {
    if (FError != 0) return;
    const int rc = seccomp_rule_add_array(FContext, action, call, static_cast<unsigned>(args.size()),
                                          args.size() ? args.begin() : nullptr);
    // A call this libseccomp or architecture does not know needs no rule.
    if (rc != 0 && rc != -EDOM) FError = -rc;
  }
  static std::uint32_t KillAction() { return SanitizerBuild ? SCMP_ACT_ERRNO(EPERM) : SCMP_ACT_KILL_PROCESS; }

  int Load() {
    if (FError != 0) return FError;
    const int rc = seccomp_load(FContext);
    return rc == 0 ? 0 : -rc;
  }

private:
  scmp_filter_ctx FContext;
  int FError = 0;
};

}  // namespace

int InstallDecoderSyscallFilter(bool allowStandardError) {
  TFilter filter;
  if (!filter.Valid()) return ENOMEM;

  // Reading the descriptors it already has (the picture it was handed) and
  // closing them; fstat is fstatat with an empty path in glibc.
  filter.Allow({SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(lseek), SCMP_SYS(fstat),
                SCMP_SYS(close), SCMP_SYS(fcntl)});
  filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), {SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)});

  // Handing a picture back: a sealed memfd sent over the socket it kept.
  filter.Allow({SCMP_SYS(memfd_create), SCMP_SYS(ftruncate), SCMP_SYS(pwrite64), SCMP_SYS(sendmsg), SCMP_SYS(sendto),
                SCMP_SYS(recvmsg), SCMP_SYS(recvfrom)});

  // Memory.
  // Memory, never executable: nothing is loaded once the process is locked in.
  filter.Allow({SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise)});
  filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(mmap), {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)});
  filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(mprotect), {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)});

  // Threads (the HEIF, AV1 and JPEG XL decoders start their own) and the
  // signals and futexes they live on. A clone that is not a thread is a fork.
  filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)});
  filter.Add(TFilter::KillAction(), SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)});
  // clone3's flags lie in memory the filter cannot read: glibc falls back to
  // clone when it is missing.
  filter.Add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), {});
  filter.Allow({SCMP_SYS(set_robust_list), SCMP_SYS(rseq), SCMP_SYS(futex), SCMP_SYS(rt_sigprocmask),
                SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack), SCMP_SYS(exit),
                SCMP_SYS(exit_group), SCMP_SYS(sched_getaffinity), SCMP_SYS(sched_yield), SCMP_SYS(getpid),
                SCMP_SYS(gettid), SCMP_SYS(restart_syscall)});
  // Naming a thread, nothing else of prctl.
  filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(prctl), {SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME)});
  filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(prctl), {SCMP_A0(SCMP_CMP_EQ, PR_GET_NAME)});
  // abort() signals its own thread; no other process may be signalled.
  filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(tgkill), {SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(::getpid()))});

  // Time, sleeping, and what malloc and LibRaw ask the system.
  filter.Allow({SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(time),
                SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep), SCMP_SYS(getrandom), SCMP_SYS(sysinfo)});

  // glibc's own fatal messages go to standard error; only a debugging worker
  // keeps one.
  if (allowStandardError || SanitizerBuild) {
    const scmp_datum_t fd = STDERR_FILENO;
    if (SanitizerBuild) {
      filter.Allow({SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(readlink), SCMP_SYS(getppid)});
    } else {
      filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(write), {SCMP_A0(SCMP_CMP_EQ, fd)});
      filter.Add(SCMP_ACT_ALLOW, SCMP_SYS(writev), {SCMP_A0(SCMP_CMP_EQ, fd)});
    }
  }

  // What only an intruder would do in a decoder: run a program, open a file
  // or a socket, trace, read or join another process, fork, load code into
  // the kernel.
  filter.Kill({SCMP_SYS(execve),
               SCMP_SYS(execveat),
               SCMP_SYS(open),
               SCMP_SYS(openat),
               SCMP_SYS(openat2),
               SCMP_SYS(creat),
               SCMP_SYS(open_by_handle_at),
               SCMP_SYS(socket),
               SCMP_SYS(socketpair),
               SCMP_SYS(connect),
               SCMP_SYS(bind),
               SCMP_SYS(listen),
               SCMP_SYS(accept),
               SCMP_SYS(accept4),
               SCMP_SYS(ptrace),
               SCMP_SYS(process_vm_readv),
               SCMP_SYS(process_vm_writev),
               SCMP_SYS(pidfd_open),
               SCMP_SYS(pidfd_getfd),
               SCMP_SYS(fork),
               SCMP_SYS(vfork),
               SCMP_SYS(setns),
               SCMP_SYS(unshare),
               SCMP_SYS(mount),
               SCMP_SYS(pivot_root),
               SCMP_SYS(chroot),
               SCMP_SYS(bpf),
               SCMP_SYS(userfaultfd),
               SCMP_SYS(perf_event_open),
               SCMP_SYS(kexec_load),
               SCMP_SYS(kexec_file_load),
               SCMP_SYS(init_module),
               SCMP_SYS(finit_module),
               SCMP_SYS(io_uring_setup),
               SCMP_SYS(io_uring_enter),
               SCMP_SYS(io_uring_register)});

  return filter.Load();
}

}  // namespace platform
