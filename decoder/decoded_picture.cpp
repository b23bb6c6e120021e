#include "decoder/decoded_picture.h"
#include "platform/free_bitmap.h"

#include "edit/exif/exif_data.h"

#include <cstring>
#include <vector>

// FreeImage 3.18 exports these (and documents them), but Debian's header
// lacks them.
extern "C" FIBITMAP* DLL_CALLCONV FreeImage_AllocateHeader(BOOL header_only, int width, int height, int bpp,
                                                           unsigned red_mask, unsigned green_mask, unsigned blue_mask);
extern "C" FIBITMAP* DLL_CALLCONV FreeImage_AllocateHeaderT(BOOL header_only, FREE_IMAGE_TYPE type, int width,
                                                            int height, int bpp, unsigned red_mask, unsigned green_mask,
                                                            unsigned blue_mask);

namespace decoder {

namespace {

void Append16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

// The smallest JPEG whose header FreeImage reads: SOI, the APP1 segment,
// one quantisation table, a 1 x 1 grey frame and its scan header. Its
// coded data is never reached: it is read without pixels.
std::vector<std::uint8_t> HeaderJpeg(std::span<const std::uint8_t> app1) {
  std::vector<std::uint8_t> jpeg{0xFF, 0xD8, 0xFF, 0xE1};
  Append16(jpeg, static_cast<unsigned>(app1.size() + 2));
  jpeg.insert(jpeg.end(), app1.begin(), app1.end());
  jpeg.insert(jpeg.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});
  jpeg.insert(jpeg.end(), 64, 1);
  jpeg.insert(jpeg.end(), {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11, 0x00});
  jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
  jpeg.insert(jpeg.end(), {0x00, 0xFF, 0xD9});
  return jpeg;
}

std::uint16_t Scaled16(std::uint16_t v, int bits) {
  if (bits >= 16 || bits <= 0) return v;
  // Replicates the top bits into the bottom ones: full scale stays full.
  return static_cast<std::uint16_t>(v << (16 - bits) | v >> (2 * bits - 16 > 0 ? 2 * bits - 16 : 0));
}

// The block as the viewer's EXIF writer lays it out; empty when its reader
// refuses it.
std::vector<std::uint8_t> WellFormedExif(std::span<const std::uint8_t> tiff, bool upright) {
  try {
    TExifData exif;
    exif.LoadFromTiffBlock(tiff);
    if (upright && exif.General().Orientation() != toUndefined) exif.General().SetOrientation(toTopLeft);
    return exif.SaveToTiffBlock();
  } catch (...) {
    return {};
  }
}

}  // namespace

bool PictureFits(std::uint32_t width, std::uint32_t height, bool alpha, int bitsPerChannel) {
  if (width == 0 || height == 0 || width > MaxPictureSide || height > MaxPictureSide) return false;
  const std::uint64_t bytes = std::uint64_t(width) * height * (alpha ? 4u : 3u) * (bitsPerChannel > 8 ? 2u : 1u);
  return bytes <= MaxPictureBytes;
}

FIBITMAP* AllocatePicture(std::uint32_t width, std::uint32_t height, bool alpha, int bitsPerChannel, bool headerOnly) {
  if (!PictureFits(width, height, alpha, bitsPerChannel)) return nullptr;
  const int channels = alpha ? 4 : 3;
  if (bitsPerChannel == 8) {
    return FreeImage_AllocateHeader(headerOnly ? TRUE : FALSE, static_cast<int>(width), static_cast<int>(height),
                                    8 * channels, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
  }
  return FreeImage_AllocateHeaderT(headerOnly ? TRUE : FALSE, alpha ? FIT_RGBA16 : FIT_RGB16, static_cast<int>(width),
                                   static_cast<int>(height), 16 * channels, 0, 0, 0);
}

void PutPixels(FIBITMAP* dib, std::uint32_t x, std::uint32_t y, std::uint32_t count, const std::uint8_t* pixels,
               int sampleBits) {
  const std::uint32_t height = FreeImage_GetHeight(dib);
  if (y >= height || x >= FreeImage_GetWidth(dib) || count > FreeImage_GetWidth(dib) - x) return;
  BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(height - 1 - y));
  if (FreeImage_GetImageType(dib) == FIT_BITMAP) {
    const unsigned channels = FreeImage_GetBPP(dib) / 8;
    BYTE* out = row + x * channels;
    for (std::uint32_t i = 0; i < count; ++i, out += channels, pixels += channels) {
      out[FI_RGBA_RED] = pixels[0];
      out[FI_RGBA_GREEN] = pixels[1];
      out[FI_RGBA_BLUE] = pixels[2];
      if (channels == 4) out[FI_RGBA_ALPHA] = pixels[3];
    }
    return;
  }
  const unsigned samples = FreeImage_GetBPP(dib) / 16;
  auto* out = reinterpret_cast<std::uint16_t*>(row) + x * samples;
  for (std::uint32_t i = 0; i < count * samples; ++i, pixels += 2) {
    std::uint16_t v;
    std::memcpy(&v, pixels, 2);
    out[i] = Scaled16(v, sampleBits);
  }
}

void PutRow(FIBITMAP* dib, std::uint32_t y, const std::uint8_t* pixels, int sampleBits) {
  PutPixels(dib, 0, y, FreeImage_GetWidth(dib), pixels, sampleBits);
}

void AttachIccProfile(FIBITMAP* dib, std::span<const std::uint8_t> profile) {
  if (!dib || profile.empty() || profile.size() > (64u << 20)) return;
  FreeImage_CreateICCProfile(dib, const_cast<std::uint8_t*>(profile.data()), static_cast<long>(profile.size()));
}

std::span<const std::uint8_t> ExifItemTiff(std::span<const std::uint8_t> item) {
  if (item.size() < 4) return {};
  const std::uint32_t offset =
      std::uint32_t(item[0]) << 24 | std::uint32_t(item[1]) << 16 | std::uint32_t(item[2]) << 8 | item[3];
  if (offset > item.size() - 4) return {};
  std::span<const std::uint8_t> rest = item.subspan(4 + offset);
  // Some writers leave the offset 0 and start with the JPEG's marker.
  static constexpr std::uint8_t ExifMarker[] = {'E', 'x', 'i', 'f', 0, 0};
  if (rest.size() >= 6 && std::memcmp(rest.data(), ExifMarker, 6) == 0) rest = rest.subspan(6);
  return rest;
}

void AttachExif(FIBITMAP* dib, std::span<const std::uint8_t> tiff, bool upright) {
  static constexpr std::uint8_t Marker[] = {'E', 'x', 'i', 'f', 0, 0};
  if (!dib || tiff.size() < 8) return;
  const std::vector<std::uint8_t> block = WellFormedExif(tiff, upright);
  // One APP1 segment holds at most 65533 bytes after its length.
  if (block.empty() || block.size() > 65533 - sizeof Marker) return;
  std::vector<std::uint8_t> app1(Marker, Marker + sizeof Marker);
  app1.insert(app1.end(), block.begin(), block.end());
  std::vector<std::uint8_t> jpeg = HeaderJpeg(app1);
  FIMEMORY* memory = FreeImage_OpenMemory(jpeg.data(), static_cast<DWORD>(jpeg.size()));
  if (!memory) return;
  if (const TFreeBitmap owned{FreeImage_LoadFromMemory(FIF_JPEG, memory, FIF_LOAD_NOPIXELS)}) {
    FIBITMAP* header = owned.Dib();
    for (FREE_IMAGE_MDMODEL model :
         {FIMD_EXIF_MAIN, FIMD_EXIF_EXIF, FIMD_EXIF_GPS, FIMD_EXIF_MAKERNOTE, FIMD_EXIF_INTEROP, FIMD_EXIF_RAW}) {
      FITAG* tag = nullptr;
      FIMETADATA* search = FreeImage_FindFirstMetadata(model, header, &tag);
      if (!search) continue;
      do {
        FreeImage_SetMetadata(model, dib, FreeImage_GetTagKey(tag), tag);
      } while (FreeImage_FindNextMetadata(search, &tag));
      FreeImage_FindCloseMetadata(search);
    }
  }
  FreeImage_CloseMemory(memory);
}

void AttachXmp(FIBITMAP* dib, std::span<const std::uint8_t> packet) {
  if (!dib || packet.empty() || packet.size() > (16u << 20)) return;
  FITAG* tag = FreeImage_CreateTag();
  if (!tag) return;
  const auto length = static_cast<DWORD>(packet.size());
  FreeImage_SetTagKey(tag, "XMLPacket");
  FreeImage_SetTagLength(tag, length);
  FreeImage_SetTagCount(tag, length);
  FreeImage_SetTagType(tag, FIDT_ASCII);
  FreeImage_SetTagValue(tag, packet.data());
  FreeImage_SetMetadata(FIMD_XMP, dib, FreeImage_GetTagKey(tag), tag);
  FreeImage_DeleteTag(tag);
}

void MarkUpright(FIBITMAP* dib) {
  FITAG* tag = nullptr;
  if (!dib || !FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &tag) || !tag) return;
  if (FreeImage_GetTagType(tag) != FIDT_SHORT || FreeImage_GetTagCount(tag) != 1) return;
  const WORD upright = 1;
  FITAG* copy = FreeImage_CloneTag(tag);
  if (!copy) return;
  FreeImage_SetTagValue(copy, &upright);
  FreeImage_SetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", copy);
  FreeImage_DeleteTag(copy);
}

}  // namespace decoder
