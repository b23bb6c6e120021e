#pragma once

// Removing what writes that were killed left beside the files they wrote:
// only files of our own names (temporary_files.h) that no live writer holds.
// A temporary file is simply removed: until its rename the file it was
// meant to replace stood whole. A kept copy of a write in place is removed
// with its temporary file once the file it belongs to holds one whole
// version again; a file that holds a mix of both is first given its old
// content back from the copy. When the file cannot be found or was changed
// since, both copies stay: they may be the only whole picture left.
// Plain C++ and POSIX.

#include <string>

// Runs before every write in folder; failures are ignored.
void RemoveLeftovers(const std::string& folder);
