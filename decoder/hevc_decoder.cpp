#include "decoder/hevc_decoder.h"

#include "decoder/decoded_picture.h"
#include "platform/usable_cores.h"

#include <libde265/de265.h>
#include <libheif/heif_plugin.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

namespace decoder {

namespace {

// Above libheif's own decoder (100), so that ours is the one chosen.
constexpr int Priority = 150;

std::atomic<std::uint32_t> PictureSideLimit{MaxPictureSide};
std::atomic<int> LiveDecoders{0};

constexpr heif_error Ok{heif_error_Ok, heif_suberror_Unspecified, "Success"};

heif_error Failure(heif_suberror_code sub, const char* message) {
  return {heif_error_Decoder_plugin_error, sub, message};
}

struct THevcDecoder {
  de265_decoder_context* context = nullptr;
  std::uint32_t sideLimit = MaxPictureSide;
  bool failed = false;  // a NAL unit that did not fit the data, or too large a picture
};

// Reads the bits of a NAL unit's payload, without the bytes that keep it
// from looking like a start code.
class TBitReader {
public:
  TBitReader(const std::uint8_t* bytes, std::size_t length) {
    // The size of the picture comes within the first hundred bytes or so.
    length = std::min<std::size_t>(length, 256);
    int zeros = 0;
    for (std::size_t i = 0; i < length; ++i) {
      if (zeros >= 2 && bytes[i] == 3) {
        zeros = 0;
        continue;
      }
      zeros = bytes[i] == 0 ? zeros + 1 : 0;
      FBytes[FLength++] = bytes[i];
    }
  }

  bool Bits(int count, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < count; ++i, ++FAt) {
      if (FAt / 8 >= FLength) return false;
      value = (value << 1) | ((FBytes[FAt / 8] >> (7 - FAt % 8)) & 1u);
    }
    return true;
  }

  bool Skip(int count) {
    std::uint32_t ignored = 0;
    for (; count > 24; count -= 24)
      if (!Bits(24, ignored)) return false;
    return Bits(count, ignored);
  }

  // An unsigned Exp-Golomb code.
  bool Golomb(std::uint32_t& value) {
    int zeros = 0;
    std::uint32_t bit = 0;
    for (;; ++zeros) {
      if (zeros > 31 || !Bits(1, bit)) return false;
      if (bit) break;
    }
    std::uint32_t rest = 0;
    if (!Bits(zeros, rest)) return false;
    value = static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + rest);
    return true;
  }

private:
  std::uint8_t FBytes[256] = {};
  std::size_t FLength = 0;
  std::size_t FAt = 0;
};

constexpr int SequenceParameterSet = 33;

// Whether a sequence parameter set states a picture no side of which exceeds
// limit; false too when it cannot be read that far. libde265 allocates the
// picture (with its tables per block) it states, up to 65535 x 65535, before
// it reads a slice.
bool PictureSizeFits(const std::uint8_t* unit, std::size_t length, std::uint32_t limit) {
  if (length < 2) return false;
  TBitReader bits(unit + 2, length - 2);  // after the unit's header
  std::uint32_t subLayers = 0;
  if (!bits.Skip(4) || !bits.Bits(3, subLayers) || !bits.Skip(1)) return false;
  // The profile, tier and level of the sequence, then of each sub-layer
  // that says it has them.
  if (!bits.Skip(96)) return false;
  bool profile[8] = {}, level[8] = {};
  for (std::uint32_t i = 0; i < subLayers; ++i) {
    std::uint32_t flag = 0;
    if (!bits.Bits(1, flag)) return false;
    profile[i] = flag != 0;
    if (!bits.Bits(1, flag)) return false;
    level[i] = flag != 0;
  }
  if (subLayers > 0 && !bits.Skip(2 * (8 - static_cast<int>(subLayers)))) return false;
  for (std::uint32_t i = 0; i < subLayers; ++i)
    if ((profile[i] && !bits.Skip(88)) || (level[i] && !bits.Skip(8))) return false;
  std::uint32_t id = 0, chroma = 0, width = 0, height = 0;
  if (!bits.Golomb(id) || !bits.Golomb(chroma) || (chroma == 3 && !bits.Skip(1)) || !bits.Golomb(width) ||
      !bits.Golomb(height))
    return false;
  return width > 0 && height > 0 && width <= limit && height <= limit;
}

const char* PluginName() { return "Velvane's libde265 HEVC decoder"; }
void InitPlugin() { de265_init(); }
void DeinitPlugin() { de265_free(); }
int SupportsFormat(heif_compression_format format) { return format == heif_compression_HEVC ? Priority : 0; }

heif_error NewDecoder(void** out) {
  auto* decoder = new (std::nothrow) THevcDecoder;
  if (!decoder) return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, "Out of memory"};
  decoder->context = de265_new_decoder();
  if (!decoder->context) {
    delete decoder;
    return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, "Out of memory"};
  }
  decoder->sideLimit = PictureSideLimit.load();
  ++LiveDecoders;
  *out = decoder;
  return Ok;
}

void FreeDecoder(void* raw) {
  auto* decoder = static_cast<THevcDecoder*>(raw);
  de265_free_decoder(decoder->context);
  delete decoder;
  --LiveDecoders;
}

// libheif hands over the parameter sets and then the picture's data, each NAL
// unit after its length in four bytes.
heif_error PushData(void* raw, const void* data, size_t size) {
  auto* decoder = static_cast<THevcDecoder*>(raw);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t at = 0;
  while (at < size) {
    if (size - at < 4) {
      decoder->failed = true;
      return Failure(heif_suberror_End_of_data, "NAL unit length past the end of the data");
    }
    const std::uint32_t length = (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
                                 (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
    at += 4;
    if (length > size - at || length > 0x7FFFFFFFu) {
      decoder->failed = true;
      return Failure(heif_suberror_End_of_data, "NAL unit past the end of the data");
    }
    if (length > 0 && ((bytes[at] >> 1) & 0x3F) == SequenceParameterSet &&
        !PictureSizeFits(bytes + at, length, decoder->sideLimit)) {
      decoder->failed = true;
      return Failure(heif_suberror_Invalid_image_size, "Coded picture larger than the file allows");
    }
    if (!de265_isOK(de265_push_NAL(decoder->context, bytes + at, static_cast<int>(length), 0, nullptr))) {
      decoder->failed = true;
      return Failure(heif_suberror_Unspecified, "NAL unit refused");
    }
    at += length;
  }
  return Ok;
}

heif_channel PlaneChannel(int plane) {
  return plane == 0 ? heif_channel_Y : plane == 1 ? heif_channel_Cb : heif_channel_Cr;
}

heif_chroma ChromaOf(de265_chroma chroma) {
  switch (chroma) {
    case de265_chroma_mono: return heif_chroma_monochrome;
    case de265_chroma_420: return heif_chroma_420;
    case de265_chroma_422: return heif_chroma_422;
    case de265_chroma_444: return heif_chroma_444;
  }
  return heif_chroma_undefined;
}

void AttachColourDescription(heif_image* image, const de265_image* picture) {
  heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
  if (!nclx) return;
  // A value the decoder does not know leaves libheif's default in place.
  heif_nclx_color_profile_set_color_primaries(nclx,
                                              static_cast<std::uint16_t>(de265_get_image_colour_primaries(picture)));
  heif_nclx_color_profile_set_transfer_characteristics(
      nclx, static_cast<std::uint16_t>(de265_get_image_transfer_characteristics(picture)));
  heif_nclx_color_profile_set_matrix_coefficients(
      nclx, static_cast<std::uint16_t>(de265_get_image_matrix_coefficients(picture)));
  nclx->full_range_flag = static_cast<std::uint8_t>(de265_get_image_full_range_flag(picture) != 0);
  heif_image_set_nclx_color_profile(image, nclx);
  heif_nclx_color_profile_free(nclx);
}

heif_error ToHeifImage(const de265_image* picture, heif_image** out) {
  const de265_chroma chroma = de265_get_chroma_format(picture);
  const bool mono = chroma == de265_chroma_mono;
  const int bits = de265_get_bits_per_pixel(picture, 0);
  const int width = de265_get_image_width(picture, 0), height = de265_get_image_height(picture, 0);
  if (width <= 0 || height <= 0 || bits < 8 || bits > 16)
    return Failure(heif_suberror_Invalid_image_size, "Picture without a usable size or depth");
  heif_image* image = nullptr;
  heif_error error = heif_image_create(width, height, mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr,
                                       ChromaOf(chroma), &image);
  if (error.code != heif_error_Ok) return error;
  for (int plane = 0; plane < (mono ? 1 : 3); ++plane) {
    const int planeWidth = de265_get_image_width(picture, plane), planeHeight = de265_get_image_height(picture, plane);
    int stride = 0;
    const std::uint8_t* source = de265_get_image_plane(picture, plane, &stride);
    if (de265_get_bits_per_pixel(picture, plane) != bits || planeWidth <= 0 || planeHeight <= 0 || !source) {
      heif_image_release(image);
      return Failure(heif_suberror_Unsupported_color_conversion, "Planes of different depths or sizes");
    }
    error = heif_image_add_plane(image, PlaneChannel(plane), planeWidth, planeHeight, bits);
    if (error.code != heif_error_Ok) {
      heif_image_release(image);
      return error;
    }
    int targetStride = 0;
    std::uint8_t* target = heif_image_get_plane(image, PlaneChannel(plane), &targetStride);
    const std::size_t rowBytes = static_cast<std::size_t>(planeWidth) * (bits > 8 ? 2 : 1);
    for (int y = 0; y < planeHeight; ++y)
      std::memcpy(target + static_cast<std::size_t>(y) * static_cast<std::size_t>(targetStride),
                  source + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride), rowBytes);
  }
  AttachColourDescription(image, picture);
  *out = image;
  return Ok;
}

heif_error DecodeImage(void* raw, heif_image** out) {
  auto* decoder = static_cast<THevcDecoder*>(raw);
  *out = nullptr;
  if (decoder->failed) return Failure(heif_suberror_End_of_data, "Damaged HEVC data");
  // Threads are started here rather than with the decoder: by now the tiles
  // libheif decodes side by side have their decoders.
  if (!de265_isOK(de265_start_worker_threads(decoder->context, HevcWorkerThreads(UsableCores(), LiveDecoders.load()))))
    return Failure(heif_suberror_Unspecified, "Decoder threads did not start");
  if (!de265_isOK(de265_flush_data(decoder->context))) return Failure(heif_suberror_Unspecified, "Damaged HEVC data");
  int more = 1;
  while (more) {
    more = 0;
    const de265_error error = de265_decode(decoder->context, &more);
    if (const de265_image* picture = de265_get_next_picture(decoder->context)) {
      const heif_error converted = ToHeifImage(picture, out);
      de265_release_next_picture(decoder->context);
      return converted;
    }
    if (!de265_isOK(error)) break;
  }
  return Failure(heif_suberror_Unspecified, "No picture in the HEVC data");
}

void SetStrictDecoding(void*, int) {}

const heif_decoder_plugin Plugin{3,           PluginName, InitPlugin,  DeinitPlugin,      SupportsFormat, NewDecoder,
                                 FreeDecoder, PushData,   DecodeImage, SetStrictDecoding, HevcDecoderId};

}  // namespace

int HevcWorkerThreads(int cores, int liveDecoders) { return std::max(1, cores / std::max(1, liveDecoders)); }

void LimitHevcPictureSide(std::uint32_t side) { PictureSideLimit.store(side); }

void RegisterHevcDecoder() {
  static std::once_flag once;
  std::call_once(once, [] { heif_register_decoder_plugin(&Plugin); });
}

}  // namespace decoder
