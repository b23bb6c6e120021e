#include "platform/own_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

void DieWithParent() { ::prctl(PR_SET_PDEATHSIG, SIGKILL); }

void LimitAddressSpace(std::uint64_t bytes) {
  if (bytes == 0) return;
  const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  ::setrlimit(RLIMIT_AS, &limit);
}

void WriteNoCoreFiles() {
  const rlimit none{0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
}

bool DescriptorOpen(int fd) { return ::fcntl(fd, F_GETFD) >= 0; }

void CloseDescriptorsFrom(int fd) { ::close_range(static_cast<unsigned>(fd), ~0U, 0); }
