#include "decoder/received_decode.h"

#include "decoder/bitmap_transfer.h"

namespace decoder {

namespace {

// A description beyond this is not believed (metadata is kilobytes).
constexpr std::uint64_t MaxBlobBytes = 256ull << 20;

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

}  // namespace decoder
