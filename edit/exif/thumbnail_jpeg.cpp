#include "edit/exif/thumbnail_jpeg.h"

#include "edit/exif/jpeg_segments.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>

#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return:
// it jumps back to the caller. No C++ object is created between setjmp and the
// libjpeg calls that may jump.
struct TJpegErrorManager {
  jpeg_error_mgr Public;
  jmp_buf Jump;
};

void ErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<TJpegErrorManager*>(cinfo->err)->Jump, 1);
}

void SilentMessage(j_common_ptr) {}

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

bool Decode(std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, TPixels& out) {
  jpeg_decompress_struct cinfo;
  TJpegErrorManager error;
  jpeg_progress_mgr progress;
  cinfo.err = jpeg_std_error(&error.Public);
  error.Public.error_exit = ErrorExit;
  error.Public.output_message = SilentMessage;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = MaxDecoderMemory;
  progress.progress_monitor = LimitScans;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK ||
      uint64_t(cinfo.image_width) * cinfo.image_height > MaxSourcePixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: cinfo.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK: case JCS_YCCK: cinfo.out_color_space = JCS_CMYK; break;
    default: cinfo.out_color_space = JCS_RGB; break;
  }
  const double fit = std::min(1.0, std::min(double(maxWidth) / cinfo.image_width,
                                            double(maxHeight) / cinfo.image_height));
  cinfo.scale_num = ScaleNumerator(cinfo.image_width, cinfo.image_height,
                                   unsigned(std::ceil(cinfo.image_width * fit)),
                                   unsigned(std::ceil(cinfo.image_height * fit)));
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  out.Width = cinfo.output_width;
  out.Height = cinfo.output_height;
  out.Components = unsigned(cinfo.output_components);
  out.Space = cinfo.out_color_space;
  out.Data.resize(size_t(out.Width) * out.Height * out.Components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.Data.data() + size_t(cinfo.output_scanline) * out.Width * out.Components;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
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
          for (unsigned sx = x0; sx < x1; ++sx)
            sum += source.Data[(size_t(sy) * source.Width + sx) * c + k];
        const uint64_t count = uint64_t(y1 - y0) * (x1 - x0);
        target.Data[(size_t(y) * width + x) * c + k] = uint8_t((sum + count / 2) / count);
      }
    }
  }
  return target;
}

std::vector<uint8_t> Encode(const TPixels& pixels, int quality) {
  jpeg_compress_struct cinfo;
  TJpegErrorManager error;
  unsigned char* buffer = nullptr;
  unsigned long bufferSize = 0;
  cinfo.err = jpeg_std_error(&error.Public);
  error.Public.error_exit = ErrorExit;
  error.Public.output_message = SilentMessage;
  if (setjmp(error.Jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &bufferSize);
  cinfo.image_width = pixels.Width;
  cinfo.image_height = pixels.Height;
  cinfo.input_components = int(pixels.Components);
  cinfo.in_color_space = pixels.Space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(pixels.Data.data()) +
                   size_t(cinfo.next_scanline) * pixels.Width * pixels.Components;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> result(buffer, buffer + bufferSize);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return result;
}

}  // namespace

std::vector<uint8_t> ReencodeJpeg(std::span<const uint8_t> jpeg, int maxWidth, int maxHeight, int quality) {
  TPixels pixels;
  if (!Decode(jpeg, maxWidth, maxHeight, pixels) || pixels.Width == 0 || pixels.Height == 0) return {};
  const double fit = std::min(1.0, std::min(double(maxWidth) / pixels.Width,
                                            double(maxHeight) / pixels.Height));
  if (fit < 1.0) {
    const unsigned width = std::max(1u, unsigned(std::lround(pixels.Width * fit)));
    const unsigned height = std::max(1u, unsigned(std::lround(pixels.Height * fit)));
    pixels = Shrink(pixels, width, height);
  }
  return Encode(pixels, quality);
}

std::vector<uint8_t> PrepareThumbnail(std::span<const uint8_t> jpeg) {
  const std::span<const uint8_t> image = jpeg.first(JpegImageEnd(jpeg));
  if (image.size() <= MaxThumbnailSize) return {image.begin(), image.end()};
  // A 160 x 120 image fits easily at quality 90; lower qualities are a
  // safety net for pathological content.
  for (int quality : {ThumbnailQuality, 75, 50}) {
    std::vector<uint8_t> smaller = ReencodeJpeg(image, ThumbnailBoxWidth, ThumbnailBoxHeight, quality);
    if (smaller.empty()) return {};
    if (smaller.size() <= MaxThumbnailSize) return smaller;
  }
  return {};
}
