#include "decoder/gif_frames.h"

#include "decoder/decoded_picture.h"
#include "platform/file_descriptor.h"
#include "platform/free_bitmap.h"
#include "platform/posix_io.h"

#include <algorithm>
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

struct TMemoryClose {
  void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};

void Append(std::vector<std::uint8_t>& out, std::initializer_list<unsigned> bytes) {
  for (unsigned b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}

// One frame as a GIF of its own (the screen its size, the frame at its
// corner), for FreeImage to decode: its multi-page reader walks the file
// from the start for every page it is asked for.
FIBITMAP* DecodeFrame(int fd, const TGifLayout& layout, const TGifFrame& frame) {
  if (frame.end <= frame.start + 10) return nullptr;
  std::vector<std::uint8_t> gif{'G', 'I', 'F', '8', '9', 'a'};
  const unsigned width = frame.width, height = frame.height;
  Append(gif, {width & 0xFFu, width >> 8u, height & 0xFFu, height >> 8u, layout.screenFlags, 0, 0});
  gif.insert(gif.end(), layout.palette.begin(), layout.palette.end());
  Append(gif, {0x21, 0xF9, 4, frame.control & 1u, 0, 0, frame.transparent, 0});
  const std::size_t at = gif.size();
  gif.resize(at + static_cast<std::size_t>(frame.end - frame.start));
  if (!ReadAllAt(fd, gif.data() + at, gif.size() - at, frame.start)) return nullptr;
  std::fill(gif.begin() + static_cast<std::ptrdiff_t>(at) + 1, gif.begin() + static_cast<std::ptrdiff_t>(at) + 5, 0);
  gif.push_back(0x3B);
  const std::unique_ptr<FIMEMORY, TMemoryClose> memory(
      FreeImage_OpenMemory(gif.data(), static_cast<DWORD>(gif.size())));
  return memory ? FreeImage_LoadFromMemory(FIF_GIF, memory.get(), GIF_LOAD256) : nullptr;
}

// The part of a frame's rectangle that lies on the screen.
struct TArea {
  unsigned left = 0, top = 0, width = 0, height = 0;
};

class TGifFrames final : public TAnimationFrames {
public:
  TGifFrames(TGifLayout layout, TFileDescriptor file, TBitmap canvas)
      : FLayout(std::move(layout)), FFile(std::move(file)), FCanvas(std::move(canvas)) {
    FFacts.width = FLayout.width;
    FFacts.height = FLayout.height;
    FFacts.frameCount = static_cast<unsigned>(FLayout.frames.size());
    FFacts.plays = FLayout.plays;
  }

  FIBITMAP* Frame(unsigned index, unsigned& delayMs) override {
    if (index >= FLayout.frames.size()) return nullptr;
    if (FShown < 0 || index < static_cast<unsigned>(FShown)) Restart();
    while (FShown < static_cast<int>(index)) {
      if (!DrawNext()) {
        FShown = -1;
        return nullptr;
      }
    }
    delayMs = ShownDelay(FLayout.frames[index].delayCs * 10u);
    return FreeImage_Clone(FCanvas.get());
  }

private:
  static TArea OnScreen(const TGifFrame& frame, unsigned screenWidth, unsigned screenHeight) {
    TArea area;
    if (frame.left >= screenWidth || frame.top >= screenHeight) return area;
    area.left = frame.left;
    area.top = frame.top;
    area.width = std::min<unsigned>(frame.width, screenWidth - frame.left);
    area.height = std::min<unsigned>(frame.height, screenHeight - frame.top);
    return area;
  }

  void Restart() {
    ClearArea({0, 0, FLayout.width, FLayout.height});
    FShown = -1;
  }

  void ClearArea(const TArea& area) {
    for (unsigned y = area.top; y < area.top + area.height; ++y)
      std::memset(Row(FCanvas.get(), y) + area.left * 4u, 0, area.width * 4u);
  }

  static BYTE* Row(FIBITMAP* dib, unsigned y) {
    return FreeImage_GetScanLine(dib, static_cast<int>(FreeImage_GetHeight(dib) - 1 - y));
  }

  // Undoes the shown frame as its disposal says, then draws the next one.
  bool DrawNext() {
    if (FShown >= 0) {
      const TGifFrame& shown = FLayout.frames[static_cast<unsigned>(FShown)];
      if (shown.disposal == ClearToBackground) {
        ClearArea(OnScreen(shown, FLayout.width, FLayout.height));
      } else if (shown.disposal == RestorePrevious && FSaved) {
        const TArea area = OnScreen(shown, FLayout.width, FLayout.height);
        for (unsigned y = area.top; y < area.top + area.height; ++y)
          std::memcpy(Row(FCanvas.get(), y) + area.left * 4u, Row(FSaved.get(), y) + area.left * 4u, area.width * 4u);
      }
    }
    const unsigned index = static_cast<unsigned>(FShown + 1);
    const TGifFrame& frame = FLayout.frames[index];
    if (frame.disposal == RestorePrevious) {
      if (!FSaved)
        FSaved.reset(FreeImage_Clone(FCanvas.get()));
      else
        FreeImage_Paste(FSaved.get(), FCanvas.get(), 0, 0, 256);
      if (!FSaved) return false;
    }
    // FreeImage decodes a frame whole, however much of it lies off the screen.
    if (!PictureFits(frame.width, frame.height, true, 8)) return false;
    const TBitmap raw(DecodeFrame(FFile.Get(), FLayout, frame));
    if (!raw) return false;
    const bool drawn = Draw(raw.get(), frame);
    if (drawn) FShown = static_cast<int>(index);
    return drawn;
  }

  // The frame's opaque pixels over the canvas; its transparent ones leave
  // what lies below.
  bool Draw(FIBITMAP* raw, const TGifFrame& frame) {
    if (FreeImage_GetBPP(raw) != 8 || FreeImage_GetImageType(raw) != FIT_BITMAP) return false;
    const RGBQUAD* palette = FreeImage_GetPalette(raw);
    if (!palette) return false;
    const int transparent = FreeImage_IsTransparent(raw) ? FreeImage_GetTransparentIndex(raw) : -1;
    TArea area = OnScreen(frame, FLayout.width, FLayout.height);
    area.width = std::min(area.width, FreeImage_GetWidth(raw));
    area.height = std::min(area.height, FreeImage_GetHeight(raw));
    const unsigned rawHeight = FreeImage_GetHeight(raw);
    for (unsigned y = 0; y < area.height; ++y) {
      const BYTE* from = FreeImage_GetScanLine(raw, static_cast<int>(rawHeight - 1 - y));
      BYTE* to = Row(FCanvas.get(), area.top + y) + area.left * 4u;
      for (unsigned x = 0; x < area.width; ++x, to += 4) {
        const BYTE i = from[x];
        if (i == transparent) continue;
        to[FI_RGBA_BLUE] = palette[i].rgbBlue;
        to[FI_RGBA_GREEN] = palette[i].rgbGreen;
        to[FI_RGBA_RED] = palette[i].rgbRed;
        to[FI_RGBA_ALPHA] = 255;
      }
    }
    return true;
  }

  TGifLayout FLayout;
  TFileDescriptor FFile;
  TBitmap FCanvas;
  TBitmap FSaved;   // the canvas before a frame that restores it; made when first needed
  int FShown = -1;  // the frame the canvas holds
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
  TBitmap canvas(FreeImage_Allocate(static_cast<int>(layout.width), static_cast<int>(layout.height), 32,
                                    FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!canvas) return nullptr;
  kind = TAnimationKind::Animation;
  return std::make_unique<TGifFrames>(std::move(layout), std::move(own), std::move(canvas));
}

}  // namespace decoder
