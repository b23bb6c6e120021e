#include "decoder/jxl_decoder.h"
#include "platform/free_bitmap.h"

#include "decoder/decoded_picture.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace decoder {

namespace {

// libjxl decodes groups of the picture on this many threads at most.
constexpr std::size_t DecodeThreads = 2;
// Metadata boxes beyond this are not read.
constexpr std::size_t MaxBoxBytes = 16u << 20;

struct TDecoderFree {
  void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct TRunnerFree {
  void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};

bool IsPlainSrgb(const JxlColorEncoding& c) {
  return c.color_space == JXL_COLOR_SPACE_RGB && c.white_point == JXL_WHITE_POINT_D65 &&
         c.primaries == JXL_PRIMARIES_SRGB && c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// The profile of the pixels as they come out: none for sRGB (the screen's
// own), otherwise the file's ICC or the one libjxl makes of its encoding.
std::vector<std::uint8_t> DataProfile(const JxlDecoder* dec) {
  JxlColorEncoding encoding{};
  if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) == JXL_DEC_SUCCESS &&
      IsPlainSrgb(encoding))
    return {};
  std::size_t size = 0;
  if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS || size == 0 ||
      size > MaxBoxBytes)
    return {};
  std::vector<std::uint8_t> icc(size);
  if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), size) != JXL_DEC_SUCCESS)
    return {};
  return icc;
}

// The box being read: its bytes grow as libjxl asks for room.
class TBoxReader {
public:
  void Start(JxlDecoder* dec, std::vector<std::uint8_t>* into) {
    FInto = into;
    FInto->assign(4096, 0);
    FUsed = 0;
    JxlDecoderSetBoxBuffer(dec, FInto->data(), FInto->size());
  }
  // Room for more; false when the box is too large to keep.
  bool Grow(JxlDecoder* dec) {
    if (!FInto) return false;
    FUsed = FInto->size() - JxlDecoderReleaseBoxBuffer(dec);
    if (FInto->size() >= MaxBoxBytes) {
      FInto->clear();
      FInto = nullptr;
      return false;
    }
    FInto->resize(std::min(FInto->size() * 2, MaxBoxBytes));
    JxlDecoderSetBoxBuffer(dec, FInto->data() + FUsed, FInto->size() - FUsed);
    return true;
  }
  void Finish(JxlDecoder* dec) {
    if (!FInto) return;
    FInto->resize(FInto->size() - JxlDecoderReleaseBoxBuffer(dec));
    FInto = nullptr;
  }

private:
  std::vector<std::uint8_t>* FInto = nullptr;
  std::size_t FUsed = 0;
};

void WritePixels(void* opaque, std::size_t x, std::size_t y, std::size_t count, const void* pixels) {
  PutPixels(static_cast<FIBITMAP*>(opaque), static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
            static_cast<std::uint32_t>(count), static_cast<const std::uint8_t*>(pixels), 16);
}

FIBITMAP* Decode(std::span<const std::uint8_t> file, bool headerOnly) {
  std::unique_ptr<JxlDecoder, TDecoderFree> dec(JxlDecoderCreate(nullptr));
  if (!dec) return nullptr;
  std::unique_ptr<void, TRunnerFree> runner;
  if (!headerOnly) {
    // A fixed count: asking for the machine's would read /sys, which the
    // worker's sandbox need not allow.
    runner.reset(JxlThreadParallelRunnerCreate(nullptr, DecodeThreads));
    if (runner && JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS)
      return nullptr;
  }
  const int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_BOX | (headerOnly ? 0 : JXL_DEC_FULL_IMAGE);
  if (JxlDecoderSubscribeEvents(dec.get(), events) != JXL_DEC_SUCCESS ||
      JxlDecoderSetDecompressBoxes(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(dec.get(), file.data(), file.size()) != JXL_DEC_SUCCESS)
    return nullptr;
  JxlDecoderCloseInput(dec.get());

  JxlBasicInfo info{};
  JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  TFreeBitmap dib;
  std::vector<std::uint8_t> icc, exif, xmp;
  TBoxReader box;
  bool pictureDone = false;
  for (;;) {
    const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
    if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT) {
      if (!box.Grow(dec.get())) return nullptr;
      continue;
    }
    box.Finish(dec.get());
    if (status == JXL_DEC_ERROR || status == JXL_DEC_NEED_MORE_INPUT) {
      // A picture that decoded keeps; damage after it costs only metadata.
      if (pictureDone) break;
      return nullptr;
    }
    if (status == JXL_DEC_SUCCESS) break;
    if (status == JXL_DEC_BASIC_INFO) {
      if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS) return nullptr;
      std::uint32_t width = info.xsize, height = info.ysize;
      if (info.orientation >= JXL_ORIENT_TRANSPOSE) std::swap(width, height);
      const bool alpha = info.alpha_bits > 0;
      const bool deep = info.bits_per_sample > 8;
      format.num_channels = alpha ? 4 : 3;
      format.data_type = deep ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8;
      // Refused before libjxl asks for the memory of the frame.
      if (!PictureFits(width, height, alpha, deep ? 16 : 8)) return nullptr;
      dib.Assign(AllocatePicture(width, height, alpha, deep ? 16 : 8, headerOnly));
      if (!dib) return nullptr;
    } else if (status == JXL_DEC_COLOR_ENCODING) {
      // A grey picture comes out as RGB, which its grey profile does not describe.
      if (info.num_color_channels == 3) icc = DataProfile(dec.get());
    } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
      if (!dib || JxlDecoderSetImageOutCallback(dec.get(), &format, WritePixels, dib.Dib()) != JXL_DEC_SUCCESS)
        return nullptr;
    } else if (status == JXL_DEC_FULL_IMAGE) {
      pictureDone = true;
      // The first frame of an animation is the picture; the rest is not decoded.
      if (info.have_animation) break;
    } else if (status == JXL_DEC_BOX) {
      JxlBoxType type{};
      if (JxlDecoderGetBoxType(dec.get(), type, JXL_TRUE) != JXL_DEC_SUCCESS) continue;
      if (std::memcmp(type, "Exif", 4) == 0 && exif.empty())
        box.Start(dec.get(), &exif);
      else if (std::memcmp(type, "xml ", 4) == 0 && xmp.empty())
        box.Start(dec.get(), &xmp);
    }
  }
  if (!dib || (!headerOnly && !pictureDone)) return nullptr;
  AttachIccProfile(dib.Dib(), icc);
  AttachExif(dib.Dib(), ExifItemTiff(exif), true);
  AttachXmp(dib.Dib(), xmp);
  // libjxl turned the picture by the file's orientation; the EXIF one must
  // not turn it again.
  MarkUpright(dib.Dib());
  return dib.Release();
}

}  // namespace

bool IsJxl(std::span<const std::uint8_t> head) {
  const JxlSignature signature = JxlSignatureCheck(head.data(), head.size());
  return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

FIBITMAP* DecodeJxl(std::span<const std::uint8_t> file, bool headerOnly) {
  // Memory that runs out inside libjxl ends this picture, not the worker.
  try {
    return Decode(file, headerOnly);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace decoder
