#include "platform/system_memory.h"

#include <cstdio>

#include <unistd.h>

namespace {

std::uint64_t MemTotalFromProc() {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return 0;
  char line[256];
  unsigned long long kib = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "MemTotal: %llu kB", &kib) == 1) break;
  std::fclose(f);
  return std::uint64_t(kib) * 1024;
}

}  // namespace

std::uint64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) return std::uint64_t(pages) * std::uint64_t(pageSize);
  return MemTotalFromProc();
}
