#pragma once

#include "edit/exif/output_pieces.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// A file's bytes, read at once, and what is needed to replace it.
class TFileContent {
public:
  std::span<const uint8_t> Bytes() const { return {FData.get(), FSize}; }
  const std::string& FileName() const { return FFileName; }

private:
  friend TFileContent ReadFileContent(const std::string& fileName, bool forWriting);
  friend void ReplaceFileContent(const TFileContent& original, const TOutputPieces& content);

  std::unique_ptr<uint8_t[]> FData;
  size_t FSize = 0;
  std::string FFileName;  // as given, for messages
  std::string FTarget;    // the file itself, symbolic links resolved
  uint32_t FMode = 0, FOwner = 0, FGroup = 0;
};

// Reads a regular file whole. forWriting also requires that the file can be
// opened for writing, as a rewrite will replace it. Failures raise EFOpenError
// ("Cannot open file "NAME". REASON").
TFileContent ReadFileContent(const std::string& fileName, bool forWriting);

// Replaces the file atomically: the content goes to a new temporary file with
// an unpredictable name in the same folder, which gets the original's
// permissions, is flushed to disk and renamed over the original. On any
// failure the temporary file is removed, the original is untouched and
// EFWriteError is raised.
void ReplaceFileContent(const TFileContent& original, const TOutputPieces& content);
