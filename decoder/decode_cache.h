#pragma once

// The decodes the viewer keeps: the current file's and those made ahead of
// the user. Each is keyed by path, load flags and the file's stamp, so a
// file that changed on disk never matches its old decode.

#include "decoder/decode_protocol.h"
#include "platform/memory_file.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace decoder {

struct TKeptDecode {
  std::string path;
  int flags = 0;
  TFileStamp stamp;
  TReplyStatus status = TReplyStatus::Failed;
  bool crashed = false;  // Failed because the worker crashed on it
  int fif = -1;
  unsigned frames = 0;             // an animation's frame count; 0 for a still
  std::vector<std::uint8_t> blob;  // the bitmap's description
  TSealedFile pixels;              // the memory file; its rows start at pixelOffset
  std::uint64_t pixelOffset = 0;
  std::uint64_t pixelBytes = 0;
};

class TDecodeCache {
public:
  // At most maxEntries decodes and maxBytes of pixels, the current one
  // included.
  TDecodeCache(std::size_t maxEntries, std::uint64_t maxBytes) : FMaxEntries(maxEntries), FMaxBytes(maxBytes) {}

  // The kept decode of this version of the file, or null.
  const TKeptDecode* Find(const std::string& path, int flags, const TFileStamp& stamp);
  // Keeps entry in place of any older decode of the same path and flags,
  // then drops the least recently used others beyond the bounds (never the
  // current one). An entry larger than the byte bound alone is not kept.
  // current: entry is now the file on display.
  void Keep(TKeptDecode entry, bool current);
  // Marks the kept decode of path and flags as the file on display.
  void MarkCurrent(const std::string& path, int flags);
  // Drops every decode of path.
  void Forget(const std::string& path);
  // Drops every decode but the current one and those of paths.
  void KeepOnly(const std::vector<std::string>& paths);
  void Clear();

  std::size_t Count() const { return FEntries.size(); }
  std::uint64_t Bytes() const;
  bool Holds(const std::string& path) const;

private:
  void Trim();

  std::size_t FMaxEntries;
  std::uint64_t FMaxBytes;
  std::list<TKeptDecode> FEntries;  // most recently used first
  const TKeptDecode* FCurrent = nullptr;
};

}  // namespace decoder
