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
  std::string FFileName;  // as given
};

// Reads a regular file whole. forWriting also requires that the file can be
// opened for writing, as a rewrite will replace it. Failures raise EFOpenError
// ("Cannot open file "NAME". REASON").
TFileContent ReadFileContent(const std::string& fileName, bool forWriting);

// Replaces the file atomically (platform/atomic_file.h): on any failure the
// original is untouched and EFWriteError is raised.
void ReplaceFileContent(const TFileContent& original, const TOutputPieces& content);
