#pragma once

// The messages between the viewer and its decoding worker. The two always
// come from the same build, so structures travel as they are laid out in
// memory, over a SOCK_SEQPACKET socket: one message per request or reply.
//
// A request names a file and the load flags, and carries the file itself: a
// read-only descriptor the viewer opened (SCM_RIGHTS), or none when the file
// could not be opened, and then only its name tells the format. The worker
// opens nothing itself. A reply says what became of it;
// a decoded bitmap comes with one sealed memfd holding its description (see
// bitmap_transfer.h) at blobOffset and its pixel rows at pixelOffset, which
// need not be on a page boundary: the viewer maps the pages around the rows.
// A frame of an animation up to FrameCopyBytes comes in a memfd the worker
// writes again for the next frame, unsealed: the viewer copies it out on
// receipt, before it asks for anything else.

#include "decoder/file_stamp.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace decoder {

inline constexpr std::uint32_t RequestMagic = 0x51445656;  // "VVDQ"
inline constexpr std::uint32_t ReplyMagic = 0x52445656;    // "VVDR"
inline constexpr std::size_t MaxPathBytes = 65536;
// Frames at most this large (description and rows) travel in the worker's
// frame file; a larger one comes sealed, as a decode does.
inline constexpr std::uint64_t FrameCopyBytes = 16ull << 20;
// The worker's exit status when it could not lock itself in: it serves no
// request then, and every load fails as one the decoder gave up on.
inline constexpr int WorkerNotLockedIn = 3;

enum class TRequestKind : std::uint32_t {
  Decode = 1,    // identify, then decode
  Identify = 2,  // identify only, and count the pages of a multi-page file
  // Decode a file the viewer has just written, before it replaces anything:
  // decoded as fif (a large JPEG reduced), pages counted, decoder warnings
  // reported. Never kept.
  Check = 3,
  DecodePage = 4,  // one page of a multi-page file, at the file's depth; never kept
  // One composed frame of an animated GIF or WebP (page: the frame), as
  // 32-bit BGRA of the logical screen. The worker keeps the animation open
  // between these, so that the next frame costs one frame's decode.
  DecodeFrame = 5,
};

enum class TReplyStatus : std::uint32_t {
  Decoded = 1,        // a bitmap; the memfd comes with the reply
  Failed = 2,         // a readable format, but no bitmap came of it
  UnknownFormat = 3,  // neither the content nor the name tells a readable format
  Identified = 4,     // answer to Identify: fif is the format
  Preview = 5,        // a reduced decode, sent before the full one (fullWidth x fullHeight)
};

// Check flags: a JPEG whose compressed blocks were moved, not encoded anew.
// Its header and metadata are decoded in full, its coded data walked to the
// end and its first rows decoded: a full decode would double the time of a
// lossless turn, which only rearranges data that decoded before.
inline constexpr std::int32_t CheckMovedBlocks = 1;

struct TRequestHeader {
  std::uint32_t magic = RequestMagic;
  TRequestKind kind = TRequestKind::Decode;
  std::uint64_t id = 0;
  std::int32_t flags = 0;
  // Not 0: a large JPEG is first decoded reduced to about this size and
  // sent as a preview.
  std::uint32_t previewSize = 0;
  std::uint32_t pathBytes = 0;  // the path follows the header (its name tells a format)
  std::uint32_t page = 0;       // DecodePage: the page, counted from 0
  std::int32_t fif = -1;        // Check: the format the file was written in
  std::uint32_t unused = 0;     // no padding: every byte sent is set
};

struct TReplyHeader {
  std::uint32_t magic = ReplyMagic;
  TReplyStatus status = TReplyStatus::Failed;
  std::uint64_t id = 0;
  std::int32_t fif = -1;  // Check: the format told by the content alone
  // Identify, Check, DecodePage: pages in the file (1 for single-picture
  // formats). Decode, DecodeFrame: frames of an animation, 0 for a still.
  std::uint32_t pages = 0;
  // The file as the worker found it before decoding, and whether it was the
  // same afterwards (a result read from a file that changed meanwhile is
  // never kept).
  TFileStamp stamp;
  std::uint8_t stampValid = 0;
  std::uint8_t stable = 0;
  std::uint8_t warned = 0;  // Check: the decoder reported damage while decoding
  std::uint8_t unused2[5] = {};
  std::uint64_t blobOffset = 0;
  std::uint64_t blobBytes = 0;
  std::uint64_t pixelOffset = 0;
  std::uint64_t pixelBytes = 0;
  std::uint32_t fullWidth = 0;  // Preview, Check: the size of the full decode
  std::uint32_t fullHeight = 0;
  std::uint32_t delayMs = 0;  // DecodeFrame: how long the frame shows
  std::uint32_t plays = 0;    // DecodeFrame: how often the animation runs; 0: for ever
};

// Padding would carry whatever the sender's memory held.
static_assert(std::has_unique_object_representations_v<TRequestHeader>);
static_assert(std::has_unique_object_representations_v<TReplyHeader>);

}  // namespace decoder
