#pragma once

#include <cstdint>

// The machine's physical memory in bytes (sysconf's page count times the
// page size, else MemTotal of /proc/meminfo); 0 when neither tells.
std::uint64_t PhysicalMemoryBytes();
