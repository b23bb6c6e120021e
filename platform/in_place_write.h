#pragma once

// Rewriting a file's content in place, for a file whose inode must stay:
// one with several names (hard links), whose other names would otherwise
// keep the old picture, or one whose owner or attributes a new file could
// not be given. Plain C++ and POSIX.
//
// The new content is complete and flushed in a temporary file first. A
// flushed copy of the old content is then kept beside the file under a name
// that says whose it is (temporary_files.h); the file is overwritten, cut to
// length and flushed; then the copy goes. A crash at any instant leaves the
// old content whole (in the file or in the copy) and the new one whole (in
// the temporary file), and the next write in the folder settles what it
// finds (leftover_cleanup.h).

#include <string>

struct TInPlaceResult {
  int Error = 0;
  // The file may hold parts of both versions and could not be put back:
  // the copy and the temporary file are left for the next cleanup.
  bool CopiesKept = false;
  std::string KeptCopy;  // the copy's path then
};

// Overwrites the file open read-write as targetFd with the whole content of
// newFd, the complete temporary file at temporaryPath. On a failure the old
// content is put back.
TInPlaceResult ReplaceContentInPlace(int targetFd, int newFd, const std::string& temporaryPath);

// For a write in place that was interrupted, given the kept copy of the old
// content and the new content: true when the file open as targetFd holds one
// whole version, or held a mix of the two and now holds the old one again;
// false when it holds anything else (it was changed since) or could not be
// restored, so that the copies must stay.
bool SettleInterruptedWrite(int targetFd, int oldFd, int newFd);
