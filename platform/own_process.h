#pragma once

// What a helper process sets up for itself as it starts, before it does any
// work.

#include <cstdint>

// The process is killed when the one that started it ends.
void DieWithParent();
// Allocations beyond bytes of address space fail (0: no limit is set).
void LimitAddressSpace(std::uint64_t bytes);
// A crash ends the process at once, without writing a core file.
void WriteNoCoreFiles();
bool DescriptorOpen(int fd);
// Closes every descriptor from fd up.
void CloseDescriptorsFrom(int fd);
