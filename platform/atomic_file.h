#pragma once

// Creating or replacing a file so that a crash, a kill or a full disk at any
// moment leaves either the old file or the complete new one, never a mix.
// Every writer of the viewer goes through this class: saving pictures, the
// metadata rewrite, the settings hive and the desktop's association files.
//
// The new content goes to a hidden temporary file with an unpredictable name
// in the target's folder (so the final rename stays on one file system),
// locked while the writer lives (temporary_files.h). Commit gives it the
// owner, extended attributes (ACLs, security labels, user tags: see
// file_attributes.h) and permissions of the file it replaces (the default
// ones of a new file otherwise), flushes it to disk, renames it over the
// target and flushes the folder. A target reached through a symbolic link is
// replaced where the link leads; the link stays.
//
// A target with more than one name (hard links) keeps its inode, so that
// every name sees the new content: it is rewritten in place from the
// complete temporary file, with a copy of the old content kept until the
// rewrite is on disk (in_place_write.h). So is a target whose owner or
// attributes the new file could not be given, where the target may be
// written; where it may not, an attribute that cannot be kept refuses the
// write, while an owner that cannot be kept changes as before.
//
// Before each write, what killed writes left in the folder is removed
// (leftover_cleanup.h). Plain C++ and POSIX, no Qt, so the metadata rewrite
// can use it too.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class TAtomicFile {
public:
  explicit TAtomicFile(std::string target);
  // Removes the temporary file unless it was committed.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Creates the temporary file. False, with Error() set, when it cannot be
  // created (missing or read-only folder ...) or the target is not a
  // regular file.
  bool Open();
  bool IsOpen() const { return FFd >= 0; }
  // The temporary file's descriptor, for writers that need one (-1 before
  // Open and after Commit or Discard).
  int Descriptor() const { return FFd; }
  const std::string& TemporaryPath() const { return FTemporary; }
  // The file that Commit replaces: the target with links resolved.
  const std::string& TargetPath() const { return FResolved; }

  // Appends bytes; false on failure (ENOSPC ...), which Commit then reports.
  bool Write(std::span<const uint8_t> bytes);
  bool Write(const std::vector<std::span<const uint8_t>>& pieces);
  // Keeps a failure met by a writer that used Descriptor() directly, so that
  // Commit refuses to replace the target.
  void Fail(int error);

  // Runs just before this file's rename, after BeforeAtomicReplaceHook.
  void SetBeforeReplace(std::function<void()> hook) { FBeforeReplace = std::move(hook); }
  // Looks at the complete, flushed temporary file before it replaces the
  // target: a reason returned (not empty) vetoes the replacement, and Commit
  // fails with ECANCELED and that reason in VetoReason().
  void SetVerifier(std::function<std::string(const std::string& temporaryPath)> verifier) {
    FVerifier = std::move(verifier);
  }
  const std::string& VetoReason() const { return FVetoReason; }

  // Replaces the target with what was written. False, with Error() set, the
  // target untouched and the temporary file gone, on any failure. (The one
  // exception: a rewrite in place that failed and whose old content could
  // not be put back leaves the copies beside the file, as ErrorText says.)
  bool Commit();
  // Drops the temporary file; the target stays as it is.
  void Discard();

  // The system error number of the first failure, 0 when there was none.
  int Error() const { return FError; }
  // The reason, worded to follow "Cannot write file NAME. ".
  std::string ErrorText() const;

private:
  // What a failure concerned beyond its error number.
  enum class TFailure { System, Attribute, OtherNames, CopiesKept };

  std::string FTarget;
  std::string FResolved;
  std::string FTemporary;
  int FFd = -1;    // for writing, until Commit
  int FHold = -1;  // the same file, open and locked until it is renamed or removed
  int FError = 0;
  TFailure FFailure = TFailure::System;
  std::string FFailureName;  // the attribute, or the kept copy
  std::function<void()> FBeforeReplace;
  std::function<std::string(const std::string&)> FVerifier;
  std::string FVetoReason;
  uint32_t FMode = 0;
};

// Convenience: replaces target with bytes in one call. False, with errno-style
// *error set when error is given, on failure; the target is then untouched.
bool ReplaceFileAtomically(const std::string& target, std::span<const uint8_t> bytes, int* error = nullptr);

// Called on the writer's thread after every committed replacement, with the
// resolved path of the replaced file: caches of decoded files drop what they
// keep of it. Returns an id for RemoveFileReplacedListener.
int AddFileReplacedListener(std::function<void(const std::string& path)> listener);
void RemoveFileReplacedListener(int id);

// Runs after the temporary file is complete and flushed, just before it
// replaces the target; lets tests interrupt a write at its worst moment.
std::function<void(const std::string& temporaryPath)>& BeforeAtomicReplaceHook();
