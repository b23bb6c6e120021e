#include "edit/grey_alpha_png.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

constexpr uint8_t GreyAlphaColourType = 4;

// The grey and alpha samples of one bitmap row, as PNG lays them out (16-bit
// samples big-endian); false when a pixel is not grey.
bool GreyAlphaRow(FIBITMAP* dib, unsigned y, bool deep, std::vector<uint8_t>& row) {
  const unsigned width = FreeImage_GetWidth(dib);
  const BYTE* line = FreeImage_GetScanLine(dib, FreeImage_GetHeight(dib) - 1 - y);
  uint8_t* out = row.data();
  for (unsigned x = 0; x < width; ++x) {
    if (deep) {
      const FIRGBA16& p = reinterpret_cast<const FIRGBA16*>(line)[x];
      if (p.red != p.green || p.green != p.blue) return false;
      *out++ = uint8_t(p.red >> 8), *out++ = uint8_t(p.red);
      *out++ = uint8_t(p.alpha >> 8), *out++ = uint8_t(p.alpha);
    } else {
      const BYTE* p = line + 4 * x;
      if (p[FI_RGBA_RED] != p[FI_RGBA_GREEN] || p[FI_RGBA_GREEN] != p[FI_RGBA_BLUE]) return false;
      *out++ = p[FI_RGBA_GREEN];
      *out++ = p[FI_RGBA_ALPHA];
    }
  }
  return true;
}

void Append(png_structp png, png_bytep data, size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void Flush(png_structp) {}

// libpng reports errors by longjmp, which must not skip a destructor: every
// object with one belongs to the caller.
bool Encode(png_structp png, png_infop info, FIBITMAP* dib, bool deep, png_bytepp rows, std::vector<uint8_t>& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, FreeImage_GetWidth(dib), FreeImage_GetHeight(dib), deep ? 16 : 8, PNG_COLOR_TYPE_GRAY_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

}  // namespace

bool IsGreyAlphaPng(std::span<const uint8_t> png) {
  static constexpr uint8_t Signature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return png.size() > 25 && std::memcmp(png.data(), Signature, 8) == 0 &&
         std::memcmp(png.data() + 12, "IHDR", 4) == 0 && png[25] == GreyAlphaColourType;
}

std::vector<uint8_t> GreyAlphaPngPixels(FIBITMAP* dib) {
  if (!dib || !FreeImage_HasPixels(dib)) return {};
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
  const bool deep = type == FIT_RGBA16;
  if (!deep && !(type == FIT_BITMAP && FreeImage_GetBPP(dib) == 32)) return {};
  const unsigned height = FreeImage_GetHeight(dib);
  std::vector<std::vector<uint8_t>> rows(height,
                                         std::vector<uint8_t>(size_t(FreeImage_GetWidth(dib)) * (deep ? 4 : 2)));
  std::vector<png_bytep> pointers(height);
  for (unsigned y = 0; y < height; ++y) {
    if (!GreyAlphaRow(dib, y, deep, rows[y])) return {};
    pointers[y] = rows[y].data();
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> out;
  const bool done = info && Encode(png, info, dib, deep, pointers.data(), out);
  png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!done) out.clear();
  return out;
}
