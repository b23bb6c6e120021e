#pragma once

// A Landlock domain that grants no file-system access at all (and, where the
// kernel can, no TCP and no reaching outside through abstract sockets or
// signals). Needs no-new-privileges set first.

#include "platform/worker_lockdown.h"

namespace platform {

// Unavailable where the kernel has no Landlock or it is switched off.
TLockLayer ForbidFileSystem();

}  // namespace platform
