#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

// The new content of a file as a sequence of byte ranges: new bytes owned
// here, and unchanged runs that point into the source buffer (which must
// outlive this object). Writing the pieces one after the other avoids copying
// the image data of a large file.
class TOutputPieces {
public:
  // A copy would point into the original's buffers; a move keeps the
  // buffers where they are.
  TOutputPieces() = default;
  TOutputPieces(const TOutputPieces&) = delete;
  TOutputPieces& operator=(const TOutputPieces&) = delete;
  TOutputPieces(TOutputPieces&&) = default;
  TOutputPieces& operator=(TOutputPieces&&) = default;

  void Append(std::span<const uint8_t> source) {
    if (!source.empty()) FPieces.push_back(source);
  }
  void Append(std::vector<uint8_t> bytes) {
    if (bytes.empty()) return;
    FOwned.push_back(std::move(bytes));
    FPieces.emplace_back(FOwned.back());
  }
  // Appends another sequence, taking over the bytes it owns.
  void Append(TOutputPieces&& other) {
    for (auto& owned : other.FOwned) FOwned.push_back(std::move(owned));
    FPieces.insert(FPieces.end(), other.FPieces.begin(), other.FPieces.end());
    other.FOwned.clear();
    other.FPieces.clear();
  }
  void AppendZeros(uint64_t count) {
    if (count) Append(std::vector<uint8_t>(size_t(count), 0));
  }

  const std::vector<std::span<const uint8_t>>& Pieces() const { return FPieces; }
  uint64_t Size() const {
    uint64_t total = 0;
    for (const auto& piece : FPieces) total += piece.size();
    return total;
  }
  std::vector<uint8_t> Join() const {
    std::vector<uint8_t> result;
    result.reserve(size_t(Size()));
    for (const auto& piece : FPieces) result.insert(result.end(), piece.begin(), piece.end());
    return result;
  }
  bool Equals(std::span<const uint8_t> bytes) const;

private:
  std::deque<std::vector<uint8_t>> FOwned;
  std::vector<std::span<const uint8_t>> FPieces;
};

inline bool TOutputPieces::Equals(std::span<const uint8_t> bytes) const {
  if (Size() != bytes.size()) return false;
  size_t pos = 0;
  for (const auto& piece : FPieces) {
    const uint8_t* expected = bytes.data() + pos;
    if (piece.data() != expected && !std::equal(piece.begin(), piece.end(), expected)) return false;
    pos += piece.size();
  }
  return true;
}
