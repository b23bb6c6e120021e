#include "decoder/gif_frames.h"

#include "decoder/decoded_picture.h"
#include "decoder/gif_lzw.h"
#include "platform/file_descriptor.h"
#include "platform/free_bitmap.h"
#include "platform/posix_io.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

namespace decoder {

namespace {

// More frames than this are not played past (each costs a few bytes here
// and in FreeImage however small its data).
constexpr std::size_t MaxFrames = 1u << 17;

enum TDisposal : std::uint8_t { KeepFrame = 0, ClearToBackground = 2, RestorePrevious = 3 };

struct TGifFrame {
  std::uint16_t left = 0, top = 0, width = 0, height = 0;
  std::uint16_t delayCs = 0;  // hundredths of a second
  std::uint8_t disposal = KeepFrame;
  std::uint8_t control = 0;      // the control block's flags (transparency)
  std::uint8_t transparent = 0;  // the clear colour's index
  off_t start = 0, end = 0;      // from its descriptor to the end of its data
};

struct TGifLayout {
  unsigned width = 0, height = 0;
  unsigned plays = 1;
  std::uint8_t screenFlags = 0;
  std::vector<std::uint8_t> palette;  // the global colour table
  std::vector<TGifFrame> frames;
};

// Reads the file from its start through a buffer of its own; every read past
// the end gives zero bytes and sets Failed.
class TBlockReader {
public:
  explicit TBlockReader(int fd) : FFd(fd) {}
  bool Failed() const { return FFailed; }
  off_t Offset() const { return FOffset - static_cast<off_t>(FEnd - FAt); }
  std::uint8_t Byte() {
    if (FAt == FEnd && !Fill()) return 0;
    return FBuffer[FAt++];
  }
  unsigned Word() {
    const unsigned low = Byte();
    return low | unsigned(Byte()) << 8;
  }
  void Skip(std::size_t n) {
    while (n > 0 && !FFailed) {
      if (FAt == FEnd && !Fill()) return;
      const std::size_t step = std::min(n, FEnd - FAt);
      FAt += step;
      n -= step;
    }
  }
  // Skips data sub-blocks up to and including the empty one that ends them.
  void SkipSubBlocks() {
    while (!FFailed)
      if (const std::uint8_t size = Byte(); size == 0 || FFailed)
        return;
      else
        Skip(size);
  }

private:
  bool Fill() {
    const ssize_t got = ReadAt(FFd, FBuffer, sizeof FBuffer, FOffset);
    if (got <= 0) {
      FFailed = true;
      return false;
    }
    FOffset += got;
    FAt = 0;
    FEnd = static_cast<std::size_t>(got);
    return true;
  }

  int FFd;
  off_t FOffset = 0;
  std::uint8_t FBuffer[1 << 16];
  std::size_t FAt = 0, FEnd = 0;
  bool FFailed = false;
};

// The frames up to the trailer, the end of the file or the first block that
// makes no sense; a frame whose descriptor was read whole counts, however
// little of its data follows.
TGifLayout ReadLayout(int fd) {
  TGifLayout layout;
  auto reader = std::make_unique<TBlockReader>(fd);
  TBlockReader& in = *reader;
  in.Skip(6);
  layout.width = in.Word();
  layout.height = in.Word();
  const std::uint8_t flags = in.Byte();
  in.Skip(2);
  layout.screenFlags = flags;
  if (flags & 0x80) {
    layout.palette.resize(3u << ((flags & 7) + 1));
    for (std::uint8_t& value : layout.palette) value = in.Byte();
  }
  TGifFrame next;
  while (!in.Failed() && layout.frames.size() < MaxFrames) {
    const std::uint8_t introducer = in.Byte();
    if (in.Failed() || introducer == 0x3B) break;
    if (introducer == 0x21) {
      const std::uint8_t label = in.Byte();
      if (label == 0xF9) {
        const std::uint8_t size = in.Byte();
        if (size >= 4) {
          next.control = in.Byte();
          next.disposal = (next.control >> 2) & 7;
          next.delayCs = static_cast<std::uint16_t>(in.Word());
          next.transparent = in.Byte();
          in.Skip(size - 4u);
        } else {
          in.Skip(size);
        }
      } else if (label == 0xFF) {
        char name[11] = {};
        const std::uint8_t size = in.Byte();
        for (unsigned i = 0; i < size; ++i) {
          const char c = static_cast<char>(in.Byte());
          if (i < sizeof name) name[i] = c;
        }
        bool looping =
            size == 11 && (std::memcmp(name, "NETSCAPE2.0", 11) == 0 || std::memcmp(name, "ANIMEXTS1.0", 11) == 0);
        if (size == 0) continue;  // that was the terminator
        for (std::uint8_t block = in.Byte(); block != 0 && !in.Failed(); block = in.Byte()) {
          if (looping && block >= 3) {
            const std::uint8_t id = in.Byte();
            const unsigned again = in.Word();  // how many times it runs again after the first
            if (id == 1) layout.plays = again == 0 ? 0 : again + 1;
            in.Skip(block - 3u);
            looping = false;
          } else {
            in.Skip(block);
          }
        }
        continue;
      }
      in.SkipSubBlocks();
    } else if (introducer == 0x2C) {
      next.start = in.Offset() - 1;
      next.left = static_cast<std::uint16_t>(in.Word());
      next.top = static_cast<std::uint16_t>(in.Word());
      next.width = static_cast<std::uint16_t>(in.Word());
      next.height = static_cast<std::uint16_t>(in.Word());
      const std::uint8_t imageFlags = in.Byte();
      if (in.Failed()) break;
      layout.frames.push_back(next);
      next = TGifFrame{};
      if (imageFlags & 0x80) in.Skip(3u << ((imageFlags & 7) + 1));
      in.Skip(1);  // the LZW code size
      in.SkipSubBlocks();
      layout.frames.back().end = in.Offset();
    } else {
      break;
    }
  }
  return layout;
}

struct TBitmapFree {
  void operator()(FIBITMAP* dib) const { TFreeBitmap{dib}.Clear(); }
};
using TBitmap = std::unique_ptr<FIBITMAP, TBitmapFree>;

// The part of a frame's rectangle that lies on the screen.
struct TArea {
  unsigned left = 0, top = 0, width = 0, height = 0;
};

TArea OnScreen(const TGifFrame& frame, unsigned screenWidth, unsigned screenHeight) {
  TArea area;
  if (frame.left >= screenWidth || frame.top >= screenHeight) return area;
  area.left = frame.left;
  area.top = frame.top;
  area.width = std::min<unsigned>(frame.width, screenWidth - frame.left);
  area.height = std::min<unsigned>(frame.height, screenHeight - frame.top);
  return area;
}

using TPalette = std::array<RGBQUAD, 256>;

bool SamePalette(const TPalette& a, const TPalette& b) { return std::memcmp(a.data(), b.data(), sizeof a) == 0; }

// One frame's pixels as decoded: colour indices in the order of the data,
// with the palette they index.
struct TDecodedFrame {
  std::vector<std::uint8_t> bytes;    // the frame's blocks as the file holds them
  std::vector<std::uint8_t> indices;  // width x height, the decoded ones first
  std::size_t decoded = 0;            // pixels the data held
  std::vector<unsigned> rows;         // the frame row of each row of the data
  bool interlaced = false;            // rows are not in order
  TPalette palette{};
  int transparent = -1;  // the index of the frame's clear pixels
};

// Reads and decodes one frame. False when its blocks are not there or make no sense.
bool DecodeFrame(int fd, const TGifLayout& layout, const TGifFrame& frame, TDecodedFrame& out) {
  if (frame.end <= frame.start + 10) return false;
  out.bytes.resize(static_cast<std::size_t>(frame.end - frame.start));
  if (!ReadAllAt(fd, out.bytes.data(), out.bytes.size(), frame.start)) return false;
  const std::uint8_t* at = out.bytes.data() + 10;  // past the descriptor
  const std::uint8_t* const end = out.bytes.data() + out.bytes.size();
  const std::uint8_t flags = out.bytes[9];

  out.palette.fill(RGBQUAD{0, 0, 0, 0});
  const std::uint8_t* colours = layout.palette.data();
  std::size_t colourBytes = layout.palette.size();
  if (flags & 0x80) {
    colourBytes = 3u << ((flags & 7) + 1);
    if (static_cast<std::size_t>(end - at) < colourBytes) return false;
    colours = at;
    at += colourBytes;
  }
  for (std::size_t i = 0; i < colourBytes / 3 && i < 256; ++i)
    out.palette[i] = RGBQUAD{colours[3 * i + 2], colours[3 * i + 1], colours[3 * i], 0};
  out.transparent = (frame.control & 1) ? frame.transparent : -1;

  if (at == end) return false;
  const unsigned minCodeSize = *at++;
  if (minCodeSize < 1 || minCodeSize > 8) return false;
  // The sub-blocks joined where they lie, their length bytes squeezed out.
  std::uint8_t* const data = out.bytes.data() + (at - out.bytes.data());
  std::uint8_t* joined = data;
  while (at < end && *at != 0) {
    const std::size_t block = std::min<std::size_t>(*at, static_cast<std::size_t>(end - at - 1));
    std::memmove(joined, at + 1, block);
    joined += block;
    at += 1 + block;
  }

  const std::size_t pixels = std::size_t(frame.width) * frame.height;
  out.indices.resize(pixels);
  out.decoded = DecodeGifLzw(data, static_cast<std::size_t>(joined - data), minCodeSize, out.indices.data(), pixels);

  out.rows.resize(frame.height);
  out.interlaced = (flags & 0x40) != 0;
  if (out.interlaced) {
    // Interlaced: every eighth row from 0, every eighth from 4, every fourth
    // from 2, every second from 1.
    static constexpr unsigned Passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    std::size_t n = 0;
    for (const auto& pass : Passes)
      for (unsigned y = pass[0]; y < frame.height; y += pass[1]) out.rows[n++] = y;
  } else {
    for (unsigned y = 0; y < frame.height; ++y) out.rows[y] = y;
  }
  return true;
}

// The logical screen as composed so far. While everything on it can be told
// by one palette it is kept as indices into it (a quarter of the memory, and
// what the viewer is handed); else as 32-bit BGRA.
struct TScreen {
  bool indexed = true;
  std::vector<std::uint8_t> indices;  // indexed: a byte a pixel, top row first
  TPalette palette{};
  int clear = 0;                      // indexed: the index that marks a clear pixel; -1: none is clear
  bool allClear = true;               // nothing drawn on it since it was cleared whole
  std::vector<std::uint32_t> pixels;  // not indexed: BGRA, top row first
};

class TGifFrames final : public TAnimationFrames {
public:
  TGifFrames(TGifLayout layout, TFileDescriptor file) : FLayout(std::move(layout)), FFile(std::move(file)) {
    FFacts.width = FLayout.width;
    FFacts.height = FLayout.height;
    FFacts.frameCount = static_cast<unsigned>(FLayout.frames.size());
    FFacts.plays = FLayout.plays;
  }

  FIBITMAP* CompactFrame(unsigned index, unsigned& delayMs) override {
    if (index >= FLayout.frames.size()) return nullptr;
    if (FShown < 0 || index < static_cast<unsigned>(FShown)) Restart();
    while (FShown < static_cast<int>(index)) {
      if (!DrawNext()) {
        FShown = -1;
        return nullptr;
      }
    }
    delayMs = ShownDelay(FLayout.frames[index].delayCs * 10u);
    return Export();
  }

private:
  std::size_t ScreenPixels() const { return std::size_t(FLayout.width) * FLayout.height; }

  void Restart() {
    ClearWhole(FScreen);
    FShown = -1;
  }

  void ClearWhole(TScreen& screen) const {
    screen.indexed = true;
    screen.pixels = {};
    screen.indices.assign(ScreenPixels(), 0);
    screen.palette.fill(RGBQUAD{0, 0, 0, 0});
    screen.clear = 0;
    screen.allClear = true;
  }

  // From indices to BGRA, clear pixels of alpha 0.
  void Expand(TScreen& screen) const {
    if (!screen.indexed) return;
    std::array<std::uint32_t, 256> colour;
    for (unsigned i = 0; i < 256; ++i) colour[i] = Bgra(screen.palette[i]);
    if (screen.clear >= 0) colour[static_cast<unsigned>(screen.clear)] = 0;
    screen.pixels.resize(ScreenPixels());
    for (std::size_t i = 0; i < screen.pixels.size(); ++i) screen.pixels[i] = colour[screen.indices[i]];
    screen.indices = {};
    screen.indexed = false;
  }

  static std::uint32_t Bgra(const RGBQUAD& c) {
    return std::uint32_t(c.rgbBlue) << (8 * FI_RGBA_BLUE) | std::uint32_t(c.rgbGreen) << (8 * FI_RGBA_GREEN) |
           std::uint32_t(c.rgbRed) << (8 * FI_RGBA_RED) | 0xFFu << (8 * FI_RGBA_ALPHA);
  }

  void ClearArea(const TArea& area) {
    if (area.width == FLayout.width && area.height == FLayout.height) {
      ClearWhole(FScreen);
      return;
    }
    if (FScreen.indexed && FScreen.clear < 0) Expand(FScreen);
    for (unsigned y = area.top; y < area.top + area.height; ++y) {
      const std::size_t from = std::size_t(y) * FLayout.width + area.left;
      if (FScreen.indexed)
        std::memset(&FScreen.indices[from], FScreen.clear, area.width);
      else
        std::fill_n(&FScreen.pixels[from], area.width, 0u);
    }
  }

  // Undoes the shown frame as its disposal says, then draws the next one.
  bool DrawNext() {
    if (FShown >= 0) {
      const TGifFrame& shown = FLayout.frames[static_cast<unsigned>(FShown)];
      if (shown.disposal == ClearToBackground) {
        ClearArea(OnScreen(shown, FLayout.width, FLayout.height));
      } else if (shown.disposal == RestorePrevious && FSavedValid) {
        FScreen = FSaved;
      }
    }
    const unsigned index = static_cast<unsigned>(FShown + 1);
    const TGifFrame& frame = FLayout.frames[index];
    if (frame.disposal == RestorePrevious) {
      FSaved = FScreen;
      FSavedValid = true;
    }
    // Each frame is decoded whole, however much of it lies off the screen.
    if (!PictureFits(frame.width, frame.height, true, 8)) return false;
    if (!DecodeFrame(FFile.Get(), FLayout, frame, FFrame)) return false;
    Draw(frame);
    FShown = static_cast<int>(index);
    return true;
  }

  // The frame's opaque pixels over the screen; its clear ones, and those its
  // data did not reach, leave what lies below.
  void Draw(const TGifFrame& frame) {
    const TArea area = OnScreen(frame, FLayout.width, FLayout.height);
    const bool whole = area.left == 0 && area.top == 0 && area.width == FLayout.width &&
                       area.height == FLayout.height && FFrame.decoded == FFrame.indices.size();
    const int t = FFrame.transparent;
    const bool opaque =
        t < 0 || std::find(FFrame.indices.begin(), FFrame.indices.end(), std::uint8_t(t)) == FFrame.indices.end();
    if (FScreen.allClear && (t >= 0 || (whole && opaque))) {
      // On a clear screen the frame's own clear index marks what stays clear.
      ClearWhole(FScreen);
      FScreen.palette = FFrame.palette;
      FScreen.clear = t;
      if (t >= 0) std::memset(FScreen.indices.data(), t, FScreen.indices.size());
      DrawIndices(frame, area, -1);
    } else if (whole && opaque) {
      FScreen.indexed = true;
      FScreen.pixels = {};
      FScreen.palette = FFrame.palette;
      FScreen.clear = -1;
      if (!FFrame.interlaced && frame.width == FLayout.width && frame.height == FLayout.height) {
        // Rows in order, of the screen's size: the decoded frame is the
        // screen, and the old screen the next frame's buffer.
        std::swap(FScreen.indices, FFrame.indices);
      } else {
        FScreen.indices.resize(ScreenPixels());
        DrawIndices(frame, area, -1);
      }
    } else if (FScreen.indexed && SamePalette(FScreen.palette, FFrame.palette) &&
               (FScreen.clear < 0 || FScreen.clear == t)) {
      DrawIndices(frame, area, t);
    } else {
      Expand(FScreen);
      DrawColours(frame, area, t);
    }
    FScreen.allClear = false;
  }

  // Calls draw(screen offset, frame row data, count) for each run of decoded
  // pixels of the frame that lies on the screen.
  template <typename TDraw>
  void ForEachRun(const TGifFrame& frame, const TArea& area, TDraw draw) const {
    if (area.width == 0 || area.height == 0) return;
    const std::size_t rowsDecoded = (FFrame.decoded + frame.width - 1) / frame.width;
    for (std::size_t k = 0; k < rowsDecoded; ++k) {
      const unsigned y = FFrame.rows[k];
      if (y >= area.height) continue;
      const std::size_t first = k * frame.width;
      const std::size_t count = std::min<std::size_t>(area.width, FFrame.decoded - first);
      draw(std::size_t(area.top + y) * FLayout.width + area.left, &FFrame.indices[first], count);
    }
  }

  // Indices as they are; skip: an index that leaves the screen as it was (-1: none).
  void DrawIndices(const TGifFrame& frame, const TArea& area, int skip) {
    ForEachRun(frame, area, [&](std::size_t to, const std::uint8_t* from, std::size_t count) {
      std::uint8_t* row = &FScreen.indices[to];
      if (skip < 0) {
        std::memcpy(row, from, count);
        return;
      }
      for (std::size_t x = 0; x < count; ++x)
        if (from[x] != skip) row[x] = from[x];
    });
  }

  void DrawColours(const TGifFrame& frame, const TArea& area, int skip) {
    std::array<std::uint32_t, 256> colour;
    for (unsigned i = 0; i < 256; ++i) colour[i] = Bgra(FFrame.palette[i]);
    ForEachRun(frame, area, [&](std::size_t to, const std::uint8_t* from, std::size_t count) {
      std::uint32_t* row = &FScreen.pixels[to];
      for (std::size_t x = 0; x < count; ++x)
        if (from[x] != skip) row[x] = colour[from[x]];
    });
  }

  // The screen as a bitmap of its own.
  FIBITMAP* Export() const {
    const unsigned w = FLayout.width, h = FLayout.height;
    FIBITMAP* dib = FScreen.indexed ? FreeImage_Allocate(static_cast<int>(w), static_cast<int>(h), 8)
                                    : FreeImage_Allocate(static_cast<int>(w), static_cast<int>(h), 32, FI_RGBA_RED_MASK,
                                                         FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (!dib) return nullptr;
    for (unsigned y = 0; y < h; ++y) {
      BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(h - 1 - y));
      if (FScreen.indexed)
        std::memcpy(row, &FScreen.indices[std::size_t(y) * w], w);
      else
        std::memcpy(row, &FScreen.pixels[std::size_t(y) * w], std::size_t(w) * 4);
    }
    if (FScreen.indexed) {
      std::copy(FScreen.palette.begin(), FScreen.palette.end(), FreeImage_GetPalette(dib));
      if (FScreen.clear >= 0) FreeImage_SetTransparentIndex(dib, FScreen.clear);
    }
    return dib;
  }

  TGifLayout FLayout;
  TFileDescriptor FFile;
  TScreen FScreen;
  TScreen FSaved;  // the screen before a frame that restores it
  bool FSavedValid = false;
  TDecodedFrame FFrame;  // kept for its buffers
  int FShown = -1;       // the frame the screen holds
};

}  // namespace

std::unique_ptr<TAnimationFrames> OpenGifFrames(int fd, TAnimationKind& kind) {
  kind = TAnimationKind::Refused;
  TGifLayout layout = ReadLayout(fd);
  if (layout.frames.size() == 1) kind = TAnimationKind::Still;
  if (layout.frames.size() < 2) return nullptr;
  if (!PictureFits(layout.width, layout.height, true, 8)) return nullptr;

  TFileDescriptor own(DuplicateDescriptor(fd));
  if (!own.Valid()) return nullptr;
  kind = TAnimationKind::Animation;
  return std::make_unique<TGifFrames>(std::move(layout), std::move(own));
}

}  // namespace decoder
