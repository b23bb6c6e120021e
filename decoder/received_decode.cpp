#include "decoder/received_decode.h"

#include "decoder/bitmap_transfer.h"
#include "platform/memory_file.h"
#include "platform/posix_io.h"

#include <mutex>
#include <utility>
#include <vector>

namespace decoder {

namespace {

// A description beyond this is not believed (metadata is kilobytes).
constexpr std::uint64_t MaxBlobBytes = 256ull << 20;

// The rows of received frames, in mappings of their own. An animation's
// frames are alike in size, and while it plays one frame is released for
// each that comes: a few released rows are kept for the frames that follow.
// The heap, asked for them instead, keeps megabytes it cannot hand back
// (a player releases many frames at once when they outgrow its bound).
class TFrameRows {
public:
  static constexpr std::size_t KeepCount = 1;
  static constexpr std::size_t KeepBytes = 4u << 20;

  static TFrameRows& Instance() {
    static auto* rows = new TFrameRows;  // outlives every frame, even at exit
    return *rows;
  }

  // Rows of bytes, or null when there is no memory for them.
  std::shared_ptr<std::uint8_t> Take(std::size_t bytes) {
    const std::size_t size = PageRounded(bytes);
    void* rows = nullptr;
    {
      const std::lock_guard lock(FLock);
      for (auto it = FKept.begin(); it != FKept.end(); ++it)
        if (it->second == size) {
          rows = it->first;
          FKeptBytes -= size;
          FKept.erase(it);
          break;
        }
    }
    if (!rows) rows = MapAnonymous(size);
    if (!rows) return nullptr;
    return std::shared_ptr<std::uint8_t>(static_cast<std::uint8_t*>(rows),
                                         [size](std::uint8_t* p) { Instance().Give(p, size); });
  }

  void Release() {
    const std::lock_guard lock(FLock);
    for (const auto& [rows, size] : FKept) Unmap(rows, size);
    FKept.clear();
    FKeptBytes = 0;
  }

private:
  void Give(void* rows, std::size_t size) {
    {
      const std::lock_guard lock(FLock);
      if (FKept.size() < KeepCount && FKeptBytes + size <= KeepBytes) {
        FKept.emplace_back(rows, size);
        FKeptBytes += size;
        return;
      }
    }
    Unmap(rows, size);
  }

  std::mutex FLock;
  std::vector<std::pair<void*, std::size_t>> FKept;
  std::size_t FKeptBytes = 0;
};

}  // namespace

bool ReadDecode(const TReplyHeader& reply, TFileDescriptor memory, TKeptDecode& kept) {
  TSealedFile file = TSealedFile::Adopt(std::move(memory));
  if (!file.Valid() || reply.blobBytes > MaxBlobBytes || reply.pixelBytes == 0 ||
      !file.Holds(reply.blobOffset, reply.blobBytes) || !file.Holds(reply.pixelOffset, reply.pixelBytes))
    return false;
  kept.blob.resize(reply.blobBytes);
  if (!file.Read(kept.blob.data(), kept.blob.size(), reply.blobOffset)) {
    kept.blob.clear();
    return false;
  }
  kept.pixels = std::move(file);
  kept.pixelOffset = reply.pixelOffset;
  kept.pixelBytes = reply.pixelBytes;
  return true;
}

TLoadResult Materialize(const TKeptDecode& kept) {
  TLoadResult result;
  result.fif = static_cast<FREE_IMAGE_FORMAT>(kept.fif);
  result.frames = kept.frames;
  if (kept.status == TReplyStatus::UnknownFormat) {
    result.outcome = TLoadOutcome::UnknownFormat;
    result.problem = TLoadProblem::NotAPicture;
    result.fif = FIF_UNKNOWN;
    return result;
  }
  if (kept.status != TReplyStatus::Decoded) {
    result.problem = kept.crashed ? TLoadProblem::GaveUp : TLoadProblem::Damaged;
    return result;
  }
  const std::shared_ptr<std::uint8_t> rows =
      kept.pixels.MapPrivate(kept.pixelOffset, static_cast<std::size_t>(kept.pixelBytes));
  if (!rows) return result;
  FIBITMAP* dib =
      RebuildBitmap(kept.blob.data(), kept.blob.size(), rows.get(), static_cast<std::size_t>(kept.pixelBytes));
  if (!dib) return result;
  result.bitmap = TFreeBitmap(dib, rows);
  result.outcome = TLoadOutcome::Decoded;
  result.problem = TLoadProblem::None;
  return result;
}

TLoadResult ReceiveFrame(const TReplyHeader& reply, TFileDescriptor memory) {
  TKeptDecode kept;
  kept.status = reply.status;
  const bool copied = reply.pixelBytes <= FrameCopyBytes && reply.blobBytes <= FrameCopyBytes;
  if (reply.status == TReplyStatus::Decoded && !copied && !ReadDecode(reply, std::move(memory), kept))
    kept.status = TReplyStatus::Failed;
  if (reply.status != TReplyStatus::Decoded || !copied) return Materialize(kept);

  TLoadResult result;
  // The file may change under the reads: what is read is checked as a
  // description and its rows, never trusted for its own length.
  const TFileStatus file = StatusOfDescriptor(memory.Get());
  const auto holds = [&](std::uint64_t offset, std::uint64_t bytes) {
    return file.size >= 0 && offset <= std::uint64_t(file.size) && bytes <= std::uint64_t(file.size) - offset;
  };
  if (!memory.Valid() || reply.pixelBytes == 0 || !holds(reply.blobOffset, reply.blobBytes) ||
      !holds(reply.pixelOffset, reply.pixelBytes))
    return result;
  std::vector<std::uint8_t> blob(reply.blobBytes);
  std::shared_ptr<std::uint8_t> rows = TFrameRows::Instance().Take(reply.pixelBytes);
  if (!rows || !ReadAllAt(memory.Get(), blob.data(), blob.size(), off_t(reply.blobOffset)) ||
      !ReadAllAt(memory.Get(), rows.get(), reply.pixelBytes, off_t(reply.pixelOffset)))
    return result;
  FIBITMAP* dib = RebuildBitmap(blob.data(), blob.size(), rows.get(), reply.pixelBytes);
  if (!dib) return result;
  result.bitmap = TFreeBitmap(dib, std::move(rows));
  result.outcome = TLoadOutcome::Decoded;
  result.problem = TLoadProblem::None;
  return result;
}

void ReleaseFrameRows() { TFrameRows::Instance().Release(); }

}  // namespace decoder
