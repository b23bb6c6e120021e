// libFuzzer targets over the worker's entry points for the newer formats,
// one executable each (FUZZ_ENTRY): the HEIF and AVIF decoder, the JPEG XL
// decoder, the camera RAW preview path, the reading of an EXIF item into
// FreeImage's metadata that both decoders share, and the frames of an
// animated GIF or WebP. Each input is decoded with and without pixels, as
// the worker may ask for either; an animation's first frames are composed.
#include "decoder/animation_frames.h"
#include "decoder/camera_raw.h"
#include "decoder/decoded_picture.h"
#include "decoder/heif_decoder.h"
#include "decoder/jxl_decoder.h"
#include "platform/free_bitmap.h"

#include <FreeImage.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>

namespace {

#if FUZZ_ENTRY_RAW
// A FreeImageIO over the input, as the worker's is over its file.
struct TSpanFile {
  std::span<const std::uint8_t> bytes;
  long at = 0;
};

unsigned Read(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  auto* file = static_cast<TSpanFile*>(handle);
  if (size == 0 || file->at < 0) return 0;
  const std::size_t left = file->bytes.size() - static_cast<std::size_t>(file->at);
  const std::size_t whole = std::min<std::size_t>(count, left / size);
  std::memcpy(buffer, file->bytes.data() + file->at, whole * size);
  file->at += static_cast<long>(whole * size);
  return static_cast<unsigned>(whole);
}
unsigned Write(void*, unsigned, unsigned, fi_handle) { return 0; }
int Seek(fi_handle handle, long offset, int origin) {
  auto* file = static_cast<TSpanFile*>(handle);
  const long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? file->at : static_cast<long>(file->bytes.size());
  const long to = base + offset;
  if (to < 0 || to > static_cast<long>(file->bytes.size())) return -1;
  file->at = to;
  return 0;
}
long Tell(fi_handle handle) { return static_cast<TSpanFile*>(handle)->at; }
#endif

void Quiet(FREE_IMAGE_FORMAT, const char*) {}

void Unload(FIBITMAP* dib) { TFreeBitmap{dib}.Clear(); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FreeImage_Initialise(FALSE);
  FreeImage_SetOutputMessage(Quiet);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
#if FUZZ_ENTRY_HEIF
  decoder::HeifKindOf(input);
  Unload(decoder::DecodeHeif(input, true));
  Unload(decoder::DecodeHeif(input, false));
#elif FUZZ_ENTRY_JXL
  decoder::IsJxl(input);
  Unload(decoder::DecodeJxl(input, true));
  Unload(decoder::DecodeJxl(input, false));
#elif FUZZ_ENTRY_RAW
  FreeImageIO io{Read, Write, Seek, Tell};
  TSpanFile file{input, 0};
  Unload(decoder::DecodeCameraRaw(io, &file));
#elif FUZZ_ENTRY_EXIF
  FIBITMAP* dib = FreeImage_Allocate(1, 1, 24);
  decoder::AttachExif(dib, decoder::ExifItemTiff(input), true);
  decoder::AttachXmp(dib, input);
  decoder::MarkUpright(dib);
  Unload(dib);
#elif FUZZ_ENTRY_ANIM
  // The worker reads an animation from its descriptor.
  const int fd = memfd_create("animation", MFD_CLOEXEC);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) {
    if (fd >= 0) close(fd);
    return 0;
  }
  decoder::TAnimationKind kind = decoder::TAnimationKind::Other;
  const std::unique_ptr<decoder::TAnimationFrames> frames = decoder::OpenAnimation(fd, kind);
  close(fd);
  // A few bytes may state a screen of hundreds of megapixels, which is
  // composed rightly but slowly under the sanitizers: such screens are only
  // opened, so the time goes to inputs that reach new code.
  if (!frames || std::uint64_t(frames->Facts().width) * frames->Facts().height > (1u << 22)) return 0;
  // Enough frames for every disposal to act on a composed screen, and one
  // asked for again from the start.
  for (unsigned index : {0u, 1u, 2u, 3u, 4u, 5u, 1u})
    if (index < frames->Facts().frameCount) {
      unsigned delay = 0;
      Unload(frames->Frame(index, delay));
    }
#endif
  return 0;
}
