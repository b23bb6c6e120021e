#include "decoder/webp_frames.h"

#include "decoder/decoded_picture.h"
#include "platform/posix_io.h"

#include <webp/demux.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace decoder {

namespace {

struct TDemuxFree {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct TAnimDecoderFree {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// The whole file: libwebp reads its frames from memory. Empty when it cannot
// be read whole or is larger than any picture may be.
std::vector<std::uint8_t> ReadWhole(int fd) {
  const TFileStatus facts = StatusOfDescriptor(fd);
  if (facts.kind != TFileKind::Regular || facts.size <= 0 || static_cast<std::uint64_t>(facts.size) > MaxPictureBytes)
    return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(facts.size));
  if (!ReadAllAt(fd, bytes.data(), bytes.size(), 0)) return {};
  return bytes;
}

class TWebpFrames final : public TAnimationFrames {
public:
  TWebpFrames(std::vector<std::uint8_t> bytes, const TAnimationFacts& facts) : FBytes(std::move(bytes)) {
    FFacts = facts;
  }

  bool Start() {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return false;
    options.color_mode = MODE_BGRA;  // unpremultiplied, in FreeImage's order
    options.use_threads = 0;
    const WebPData data{FBytes.data(), FBytes.size()};
    FDecoder.reset(WebPAnimDecoderNew(&data, &options));
    return FDecoder != nullptr;
  }

  FIBITMAP* CompactFrame(unsigned index, unsigned& delayMs) override {
    if (index >= FFacts.frameCount) return nullptr;
    if (FShown < 0 || index < static_cast<unsigned>(FShown)) {
      WebPAnimDecoderReset(FDecoder.get());
      FShown = -1;
    }
    std::uint8_t* pixels = nullptr;
    int timestamp = 0;
    while (FShown < static_cast<int>(index)) {
      if (!WebPAnimDecoderGetNext(FDecoder.get(), &pixels, &timestamp)) {
        FShown = -1;
        return nullptr;
      }
      ++FShown;
      FPixels = pixels;
    }
    // Asked again for the frame it holds, the decoder's screen still has it.
    WebPIterator frame;
    if (!FPixels || !WebPDemuxGetFrame(WebPAnimDecoderGetDemuxer(FDecoder.get()), static_cast<int>(index) + 1, &frame))
      return nullptr;
    delayMs = ShownDelay(frame.duration > 0 ? static_cast<unsigned>(frame.duration) : 0u);
    WebPDemuxReleaseIterator(&frame);
    return Copy(FPixels);
  }

private:
  FIBITMAP* Copy(const std::uint8_t* pixels) const {
    FIBITMAP* dib = FreeImage_Allocate(static_cast<int>(FFacts.width), static_cast<int>(FFacts.height), 32,
                                       FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (!dib) return nullptr;
    const std::size_t rowBytes = std::size_t(FFacts.width) * 4;
    for (unsigned y = 0; y < FFacts.height; ++y)
      std::memcpy(FreeImage_GetScanLine(dib, static_cast<int>(FFacts.height - 1 - y)), pixels + y * rowBytes, rowBytes);
    return dib;
  }

  std::vector<std::uint8_t> FBytes;  // the decoder reads from here while it lives
  std::unique_ptr<WebPAnimDecoder, TAnimDecoderFree> FDecoder;
  const std::uint8_t* FPixels = nullptr;  // the decoder's screen, holding frame FShown
  int FShown = -1;
};

}  // namespace

std::unique_ptr<TAnimationFrames> OpenWebpFrames(int fd, TAnimationKind& kind) {
  kind = TAnimationKind::Refused;
  std::vector<std::uint8_t> bytes = ReadWhole(fd);
  if (bytes.empty()) return nullptr;
  TAnimationFacts facts;
  {
    // The screen's size is checked before the animation decoder asks for
    // two screens' worth of memory.
    const WebPData data{bytes.data(), bytes.size()};
    const std::unique_ptr<WebPDemuxer, TDemuxFree> demux(WebPDemux(&data));
    if (!demux) return nullptr;
    facts.width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    facts.height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    facts.frameCount = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
    const bool animated = (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;
    facts.plays = WebPDemuxGetI(demux.get(), WEBP_FF_LOOP_COUNT);
    if (!animated || facts.frameCount < 2) {
      kind = TAnimationKind::Still;
      return nullptr;
    }
  }
  if (!PictureFits(facts.width, facts.height, true, 8)) return nullptr;
  auto frames = std::make_unique<TWebpFrames>(std::move(bytes), facts);
  if (!frames->Start()) return nullptr;
  kind = TAnimationKind::Animation;
  return frames;
}

}  // namespace decoder
