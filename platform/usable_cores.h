#pragma once

// The cores this process may run on (its affinity mask), at least 1. Asked
// of the scheduler, so that it works in the sandboxed decoding worker, which
// may not open /sys, where the C library's count of processors comes from.
int UsableCores();
