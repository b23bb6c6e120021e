#include "decoder/animation_frames.h"

#include "decoder/gif_frames.h"
#include "decoder/webp_frames.h"
#include "platform/free_bitmap.h"
#include "platform/posix_io.h"

#include <cstring>

namespace decoder {

unsigned ShownDelay(unsigned fileDelayMs) { return fileDelayMs <= 10 ? 100 : fileDelayMs; }

FIBITMAP* TAnimationFrames::Frame(unsigned index, unsigned& delayMs) {
  FIBITMAP* compact = CompactFrame(index, delayMs);
  if (!compact || FreeImage_GetBPP(compact) == 32) return compact;
  FIBITMAP* full = FreeImage_ConvertTo32Bits(compact);
  TFreeBitmap{compact}.Clear();
  return full;
}

std::unique_ptr<TAnimationFrames> OpenAnimation(int fd, TAnimationKind& kind) {
  kind = TAnimationKind::Other;
  unsigned char head[12] = {};
  if (!ReadAllAt(fd, head, sizeof head, 0)) return nullptr;
  if (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0) return OpenGifFrames(fd, kind);
  if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0) return OpenWebpFrames(fd, kind);
  return nullptr;
}

}  // namespace decoder
