#include "edit/exif/thumbnail_jpeg.h"

#include "edit/exif/jpeg_segments.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE
#include <new>

#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return:
// it jumps back to the setjmp of the function running libjpeg. Everything
// libjpeg or our callbacks change before such a jump lives in a state object
// of the caller (below), never in that function's own frame, and no C++
// object with a destructor is alive in the frames the jump leaves.
struct TJpegErrorManager {
  jpeg_error_mgr Public;
  jmp_buf Jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<TJpegErrorManager*>(cinfo->err)->Jump, 1); }

void SilentMessage(j_common_ptr) {}

void InstallErrorManager(j_common_ptr cinfo, TJpegErrorManager& error) {
  cinfo->err = jpeg_std_error(&error.Public);
  error.Public.error_exit = ErrorExit;
  error.Public.output_message = SilentMessage;
}

// A hostile progressive image can hold thousands of tiny scans, each decoded
// in full; stop after a number no real encoder produces.
constexpr int MaxScans = 500;

void LimitScans(j_common_ptr cinfo) {
  const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > MaxScans) ErrorExit(cinfo);
}

// Largest pixel count that is decoded (before DCT scaling).
constexpr uint64_t MaxSourcePixels = 100'000'000;
constexpr long MaxDecoderMemory = 64L << 20;

struct TPixels {
  std::vector<uint8_t> Data;
  unsigned Width = 0, Height = 0, Components = 0;
  J_COLOR_SPACE Space = JCS_RGB;
};

// The smallest DCT scale (n/8) whose result still covers the target size.
unsigned ScaleNumerator(unsigned width, unsigned height, unsigned targetWidth, unsigned targetHeight) {
  for (unsigned n = 1; n < 8; ++n)
    if ((width * n + 7) / 8 >= targetWidth && (height * n + 7) / 8 >= targetHeight) return n;
  return 8;
}

struct TDecompression {
  jpeg_decompress_struct Info{};
  TJpegErrorManager Error{};
  jpeg_progress_mgr Progress{};
};

bool Decompress(TDecompression& state, std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, TPixels& out) {
  jpeg_decompress_struct& cinfo = state.Info;
  InstallErrorManager(reinterpret_cast<j_common_ptr>(&cinfo), state.Error);
  if (setjmp(state.Error.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = MaxDecoderMemory;
  state.Progress.progress_monitor = LimitScans;
  cinfo.progress = &state.Progress;
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK ||
      uint64_t(cinfo.image_width) * cinfo.image_height > MaxSourcePixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: cinfo.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: cinfo.out_color_space = JCS_CMYK; break;
    default: cinfo.out_color_space = JCS_RGB; break;
  }
  const double fit =
      std::min(1.0, std::min(double(maxWidth) / cinfo.image_width, double(maxHeight) / cinfo.image_height));
  cinfo.scale_num = ScaleNumerator(cinfo.image_width, cinfo.image_height, unsigned(std::ceil(cinfo.image_width * fit)),
                                   unsigned(std::ceil(cinfo.image_height * fit)));
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  out.Width = cinfo.output_width;
  out.Height = cinfo.output_height;
  out.Components = unsigned(cinfo.output_components);
  out.Space = cinfo.out_color_space;
  // Sized before the scanlines; a failed allocation must not unwind through
  // libjpeg, so it is reported after the decoder is gone.
  bool allocated = true;
  try {
    out.Data.resize(size_t(out.Width) * out.Height * out.Components);
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  while (allocated && cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.Data.data() + size_t(cinfo.output_scanline) * out.Width * out.Components;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  if (allocated) jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return allocated;
}

bool Decode(std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, TPixels& out) {
  TDecompression state;
  return Decompress(state, jpeg, maxWidth, maxHeight, out);
}

// Area average of the source pixels each target pixel covers.
TPixels Shrink(const TPixels& source, unsigned width, unsigned height) {
  TPixels target;
  target.Width = width;
  target.Height = height;
  target.Components = source.Components;
  target.Space = source.Space;
  target.Data.resize(size_t(width) * height * source.Components);
  const unsigned c = source.Components;
  for (unsigned y = 0; y < height; ++y) {
    const unsigned y0 = unsigned(uint64_t(y) * source.Height / height);
    const unsigned y1 = std::max(y0 + 1, unsigned(uint64_t(y + 1) * source.Height / height));
    for (unsigned x = 0; x < width; ++x) {
      const unsigned x0 = unsigned(uint64_t(x) * source.Width / width);
      const unsigned x1 = std::max(x0 + 1, unsigned(uint64_t(x + 1) * source.Width / width));
      for (unsigned k = 0; k < c; ++k) {
        uint64_t sum = 0;
        for (unsigned sy = y0; sy < y1; ++sy)
          for (unsigned sx = x0; sx < x1; ++sx) sum += source.Data[(size_t(sy) * source.Width + sx) * c + k];
        const uint64_t count = uint64_t(y1 - y0) * (x1 - x0);
        target.Data[(size_t(y) * width + x) * c + k] = uint8_t((sum + count / 2) / count);
      }
    }
  }
  return target;
}

// The pixels laid out by transform.
TPixels Transformed(const TPixels& source, TPictureTransform transform) {
  TPixels target = source;
  if (SwapsSides(transform)) std::swap(target.Width, target.Height);
  const size_t c = source.Components;
  for (unsigned y = 0; y < source.Height; ++y)
    for (unsigned x = 0; x < source.Width; ++x) {
      int tx = int(x), ty = int(y);
      TransformPoint(transform, int(source.Width), int(source.Height), tx, ty);
      std::copy_n(source.Data.data() + (size_t(y) * source.Width + x) * c, c,
                  target.Data.data() + (size_t(ty) * target.Width + size_t(tx)) * c);
    }
  return target;
}

// A libjpeg destination writing into a vector of the caller's. It grows the
// vector as libjpeg fills it and ends the encoding with a libjpeg error once
// the output would pass the limit (or memory runs out).
struct TVectorDestination {
  jpeg_destination_mgr Public{};
  std::vector<uint8_t>* Output = nullptr;
  size_t Limit = 0;
};

constexpr size_t FirstOutputBuffer = 4096;

TVectorDestination& DestinationOf(j_compress_ptr cinfo) { return *reinterpret_cast<TVectorDestination*>(cinfo->dest); }

// Grows the output to at least its current size plus one byte; false when
// it cannot. libjpeg asks for room as soon as the buffer is full, before it
// knows whether more bytes follow, so the buffer may reach one byte past the
// limit; only a byte written there is too many.
bool GrowOutput(TVectorDestination& dest) {
  std::vector<uint8_t>& output = *dest.Output;
  const size_t used = output.size();
  const size_t capacity = dest.Limit == SIZE_MAX ? SIZE_MAX : dest.Limit + 1;
  if (used >= capacity) return false;
  const size_t wanted = used == 0 ? FirstOutputBuffer : used * 2;
  try {
    output.resize(std::min(std::max(wanted, used + 1), capacity));
  } catch (const std::bad_alloc&) {
    return false;
  }
  dest.Public.next_output_byte = output.data() + used;
  dest.Public.free_in_buffer = output.size() - used;
  return true;
}

void InitDestination(j_compress_ptr cinfo) {
  TVectorDestination& dest = DestinationOf(cinfo);
  dest.Output->clear();
  if (!GrowOutput(dest)) ErrorExit(reinterpret_cast<j_common_ptr>(cinfo));
}

// Called with the whole buffer full.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  if (!GrowOutput(DestinationOf(cinfo))) ErrorExit(reinterpret_cast<j_common_ptr>(cinfo));
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  TVectorDestination& dest = DestinationOf(cinfo);
  const size_t written = dest.Output->size() - dest.Public.free_in_buffer;
  if (written > dest.Limit) ErrorExit(reinterpret_cast<j_common_ptr>(cinfo));
  dest.Output->resize(written);
}

struct TCompression {
  jpeg_compress_struct Info{};
  TJpegErrorManager Error{};
  TVectorDestination Destination;
  std::vector<uint8_t> Output;
};

bool Compress(TCompression& state, const TPixels& pixels, int quality) {
  jpeg_compress_struct& cinfo = state.Info;
  InstallErrorManager(reinterpret_cast<j_common_ptr>(&cinfo), state.Error);
  if (setjmp(state.Error.Jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  state.Destination.Output = &state.Output;
  state.Destination.Public.init_destination = InitDestination;
  state.Destination.Public.empty_output_buffer = EmptyOutputBuffer;
  state.Destination.Public.term_destination = TermDestination;
  cinfo.dest = &state.Destination.Public;
  cinfo.image_width = pixels.Width;
  cinfo.image_height = pixels.Height;
  cinfo.input_components = int(pixels.Components);
  cinfo.in_color_space = pixels.Space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row =
        const_cast<uint8_t*>(pixels.Data.data()) + size_t(cinfo.next_scanline) * pixels.Width * pixels.Components;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

std::vector<uint8_t> Encode(const TPixels& pixels, int quality, size_t maxSize) {
  TCompression state;
  state.Destination.Limit = maxSize;
  if (!Compress(state, pixels, quality)) return {};
  return std::move(state.Output);
}

// Reduces the pixels to fit the box (only when larger).
void Fit(TPixels& pixels, int maxWidth, int maxHeight) {
  const double fit = std::min(1.0, std::min(double(maxWidth) / pixels.Width, double(maxHeight) / pixels.Height));
  if (fit < 1.0) {
    const unsigned width = std::max(1u, unsigned(std::lround(pixels.Width * fit)));
    const unsigned height = std::max(1u, unsigned(std::lround(pixels.Height * fit)));
    pixels = Shrink(pixels, width, height);
  }
}

// The image decoded and reduced to fit the box (only when larger).
bool DecodeToFit(std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, TPixels& pixels) {
  if (!Decode(jpeg, maxWidth, maxHeight, pixels) || pixels.Width == 0 || pixels.Height == 0) return false;
  Fit(pixels, maxWidth, maxHeight);
  return true;
}

// The pixels encoded within MaxThumbnailSize. A 160 x 120 image fits easily
// at quality 90; lower qualities are a safety net for pathological content.
// The encoder gives up as soon as the output passes the limit.
std::vector<uint8_t> EncodeThumbnail(const TPixels& pixels) {
  for (int quality : {ThumbnailQuality, 75, 50}) {
    std::vector<uint8_t> encoded = Encode(pixels, quality, MaxThumbnailSize);
    if (!encoded.empty()) return encoded;
  }
  return {};
}

}  // namespace

std::vector<uint8_t> ReencodeJpeg(std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, int quality,
                                  size_t maxSize) {
  TPixels pixels;
  if (!DecodeToFit(jpeg, maxWidth, maxHeight, pixels)) return {};
  return Encode(pixels, quality, maxSize);
}

std::vector<uint8_t> PrepareThumbnail(std::span<const uint8_t> jpeg) {
  const std::span<const uint8_t> image = jpeg.first(JpegImageEnd(jpeg));
  if (image.size() <= MaxThumbnailSize) return {image.begin(), image.end()};
  TPixels pixels;
  if (!DecodeToFit(image, ThumbnailBoxWidth, ThumbnailBoxHeight, pixels)) return {};
  return EncodeThumbnail(pixels);
}

std::vector<uint8_t> TransformThumbnailJpeg(std::span<const uint8_t> jpeg, TPictureTransform transform) {
  const std::span<const uint8_t> image = jpeg.first(JpegImageEnd(jpeg));
  TPixels pixels;
  if (!DecodeToFit(image, MaxTurnedThumbnailSide, MaxTurnedThumbnailSide, pixels)) return {};
  std::vector<uint8_t> encoded = Encode(Transformed(pixels, transform), ThumbnailQuality, MaxThumbnailSize);
  if (!encoded.empty()) return encoded;
  Fit(pixels, ThumbnailBoxWidth, ThumbnailBoxHeight);
  return EncodeThumbnail(Transformed(pixels, transform));
}
