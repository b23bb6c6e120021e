#include "decoder/decode_cache.h"

#include "platform/posix_io.h"

#include <algorithm>

namespace decoder {

const TKeptDecode* TDecodeCache::Find(const std::string& path, int flags, const TFileStamp& stamp) {
  for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
    if (it->path == path && it->flags == flags && it->stamp == stamp) {
      FEntries.splice(FEntries.begin(), FEntries, it);
      return &FEntries.front();
    }
  }
  return nullptr;
}

void TDecodeCache::Keep(TKeptDecode entry, bool current) {
  for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
    if (it->path == entry.path && it->flags == entry.flags) {
      if (FCurrent == &*it) FCurrent = nullptr;
      FEntries.erase(it);
      break;
    }
  }
  if (entry.pixelBytes > FMaxBytes || FMaxEntries == 0) return;
  FEntries.push_front(std::move(entry));
  if (current) FCurrent = &FEntries.front();
  Trim();
}

void TDecodeCache::MarkCurrent(const std::string& path, int flags) {
  for (const TKeptDecode& e : FEntries)
    if (e.path == path && e.flags == flags) FCurrent = &e;
}

void TDecodeCache::Forget(const std::string& path) {
  // Writers report the file with links resolved; decodes are kept under the
  // path the viewer was given.
  const std::string real = ResolvedPath(path);
  for (auto it = FEntries.begin(); it != FEntries.end();) {
    if (it->path == path || ResolvedPath(it->path) == real) {
      if (FCurrent == &*it) FCurrent = nullptr;
      it = FEntries.erase(it);
    } else {
      ++it;
    }
  }
}

void TDecodeCache::KeepOnly(const std::vector<std::string>& paths) {
  for (auto it = FEntries.begin(); it != FEntries.end();) {
    if (&*it == FCurrent || std::find(paths.begin(), paths.end(), it->path) != paths.end())
      ++it;
    else
      it = FEntries.erase(it);
  }
}

void TDecodeCache::Clear() {
  FEntries.clear();
  FCurrent = nullptr;
}

std::uint64_t TDecodeCache::Bytes() const {
  std::uint64_t total = 0;
  for (const TKeptDecode& e : FEntries) total += e.pixelBytes;
  return total;
}

bool TDecodeCache::Holds(const std::string& path) const {
  for (const TKeptDecode& e : FEntries)
    if (e.path == path) return true;
  return false;
}

void TDecodeCache::Trim() {
  // The newest entry sits first and the oldest last: drop from the back.
  auto it = FEntries.end();
  while ((FEntries.size() > FMaxEntries || Bytes() > FMaxBytes) && it != FEntries.begin()) {
    --it;
    if (&*it == FCurrent || it == FEntries.begin()) continue;
    it = FEntries.erase(it);
  }
}

}  // namespace decoder
