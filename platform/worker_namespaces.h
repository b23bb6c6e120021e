#pragma once

// The decoding worker's own namespaces: a user namespace that maps only its
// own user, no network interface, no System V IPC, and a mount namespace whose
// root is an empty read-only tmpfs, so no path leads anywhere.

#include "platform/worker_lockdown.h"

namespace platform {

// New user, network, IPC and mount namespaces. Unavailable where the system
// refuses unprivileged user namespaces. Stores the new network namespace's
// inode in networkNamespace.
TLockLayer EnterPrivateNamespaces(ino_t& networkNamespace);

// Swaps the root for an empty read-only tmpfs and drops the old one. Needs the
// mount namespace of EnterPrivateNamespaces.
TLockLayer PivotToEmptyRoot();

}  // namespace platform
