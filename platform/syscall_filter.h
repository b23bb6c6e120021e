#pragma once

// The decoding worker's seccomp filter: the calls decoding needs pass, calls
// nothing legitimate makes there (running a program, opening a file or a
// socket, tracing or reading another process, forking) end the process, and
// everything else fails with EPERM. Needs no-new-privileges set first.

namespace platform {

// Installs the filter on the calling process and all its future threads.
// Returns 0, or the errno of the step that failed.
int InstallDecoderSyscallFilter(bool allowStandardError);

}  // namespace platform
