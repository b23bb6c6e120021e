#pragma once

// Extended attributes carried from a file onto the new file that replaces
// it: user attributes (tags, ratings, origin URLs), POSIX ACLs
// (system.posix_acl_*), security labels (SELinux, Smack) and, for a
// privileged writer, trusted.* attributes. Plain C++ and POSIX.
//
// Attributes that vouch for the old content are not carried: the kernel
// drops a file capability on any write to the file, and the integrity
// hashes (IMA, EVM) describe bytes the new file no longer holds. Attributes
// the new file was given by its folder (an inherited default ACL) but the old
// file did not have are removed, so that nobody gains access by a write.

#include <string>

struct TAttributeCopy {
  int Error = 0;     // errno of the first attribute that could not be carried
  std::string Name;  // that attribute
  bool Ok() const { return Error == 0; }
};

// Gives the file open as targetFd the extended attributes of the file at
// sourcePath (a path without links to follow). Stops at the first attribute
// that cannot be read or set.
TAttributeCopy CarryExtendedAttributes(const std::string& sourcePath, int targetFd);
