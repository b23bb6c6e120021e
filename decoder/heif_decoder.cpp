#include "decoder/heif_decoder.h"

#include "decoder/decoded_picture.h"
#include "decoder/hevc_decoder.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace decoder {

namespace {

// Grid pictures (a phone's HEIC is a grid of tiles) decode on this many
// threads of libheif's; the machine's cores are few and the viewer's own
// work waits for this picture.
constexpr int TileThreads = 2;

struct TContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct THandleFree {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct TImageFree {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct TOptionsFree {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

std::vector<std::uint8_t> MetadataBlock(const heif_image_handle* handle, heif_item_id id) {
  std::vector<std::uint8_t> block(heif_image_handle_get_metadata_size(handle, id));
  if (block.empty() || heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) return {};
  return block;
}

void AttachMetadata(FIBITMAP* dib, const heif_image_handle* handle) {
  const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle);
  if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
    std::vector<std::uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
    if (!icc.empty() && heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
      AttachIccProfile(dib, icc);
  }
  const int count = heif_image_handle_get_number_of_metadata_blocks(handle, nullptr);
  if (count <= 0) return;
  std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
  const int listed = heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), count);
  bool exif = false, xmp = false;
  for (int i = 0; i < listed; ++i) {
    const std::string type = heif_image_handle_get_metadata_type(handle, ids[i]);
    const char* content = heif_image_handle_get_metadata_content_type(handle, ids[i]);
    if (type == "Exif" && !exif) {
      const std::vector<std::uint8_t> block = MetadataBlock(handle, ids[i]);
      AttachExif(dib, ExifItemTiff(block), true);
      exif = true;
    } else if (type == "mime" && content && std::strcmp(content, "application/rdf+xml") == 0 && !xmp) {
      AttachXmp(dib, MetadataBlock(handle, ids[i]));
      xmp = true;
    }
  }
  // libheif turned the picture by the file's own rotation and mirroring;
  // an EXIF orientation beside them must not turn it again.
  MarkUpright(dib);
}

// Whether every auxiliary picture of the handle (its alpha among them, which
// libheif decodes with it) fits the same limits as the picture itself: a
// 40 x 30 picture may name an alpha grid of 65536 x 65536.
bool AuxiliaryPicturesFit(const heif_image_handle* handle, bool deep) {
  const int count = heif_image_handle_get_number_of_auxiliary_images(handle, 0);
  if (count <= 0) return true;
  std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
  const int listed = heif_image_handle_get_list_of_auxiliary_image_IDs(handle, 0, ids.data(), count);
  for (int i = 0; i < listed; ++i) {
    heif_image_handle* raw = nullptr;
    if (heif_image_handle_get_auxiliary_image_handle(handle, ids[i], &raw).code != heif_error_Ok) return false;
    std::unique_ptr<heif_image_handle, THandleFree> aux(raw);
    const int width = heif_image_handle_get_width(aux.get());
    const int height = heif_image_handle_get_height(aux.get());
    if (width <= 0 || height <= 0 ||
        !PictureFits(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), false, deep ? 16 : 8))
      return false;
  }
  return true;
}

FIBITMAP* Decode(std::span<const std::uint8_t> file, bool headerOnly) {
  RegisterHevcDecoder();
  std::unique_ptr<heif_context, TContextFree> context(heif_context_alloc());
  if (!context) return nullptr;
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(MaxPictureSide));
  heif_context_set_max_decoding_threads(context.get(), TileThreads);
  if (heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr).code !=
      heif_error_Ok)
    return nullptr;
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return nullptr;
  std::unique_ptr<heif_image_handle, THandleFree> handle(rawHandle);

  const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  const int lumaBits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
  const bool deep = lumaBits > 8;
  const int statedWidth = heif_image_handle_get_width(handle.get());
  const int statedHeight = heif_image_handle_get_height(handle.get());
  // Refused before libheif asks for the memory.
  if (statedWidth <= 0 || statedHeight <= 0 ||
      !PictureFits(static_cast<std::uint32_t>(statedWidth), static_cast<std::uint32_t>(statedHeight), alpha,
                   deep ? 16 : 8) ||
      !AuxiliaryPicturesFit(handle.get(), deep))
    return nullptr;
  // Grids and overlays carry an output size of their own, which libheif
  // allocates before a tile is read; a few bytes may claim 26228 x 31088 for
  // a picture that states 40 x 30. Their sides may exceed the stated ones
  // only by what cropping and tile rounding explain.
  // The same bound holds for the coded pictures (a grid's tiles among them).
  const std::uint64_t side = std::max(statedWidth, statedHeight);
  const auto codedSide = static_cast<std::uint32_t>(std::min<std::uint64_t>(MaxPictureSide, 2 * side + 64));
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(codedSide));
  LimitHevcPictureSide(codedSide);
  if (headerOnly) {
    const int width = statedWidth, height = statedHeight;
    FIBITMAP* dib = AllocatePicture(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), alpha,
                                    deep ? 16 : 8, true);
    if (dib) AttachMetadata(dib, handle.get());
    return dib;
  }

  std::unique_ptr<heif_decoding_options, TOptionsFree> options(heif_decoding_options_alloc());
  if (!options) return nullptr;
  options->convert_hdr_to_8bit = 0;
  const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                  : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* rawImage = nullptr;
  if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, options.get()).code != heif_error_Ok)
    return nullptr;
  std::unique_ptr<heif_image, TImageFree> image(rawImage);
  const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
  const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (!plane || width <= 0 || height <= 0 || stride <= 0) return nullptr;
  const bool wide = bits > 8;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * (alpha ? 4 : 3) * (wide ? 2 : 1);
  if (static_cast<std::size_t>(stride) < rowBytes) return nullptr;

  FIBITMAP* dib = AllocatePicture(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), alpha,
                                  wide ? 16 : 8, false);
  if (!dib) return nullptr;
  for (int y = 0; y < height; ++y)
    PutRow(dib, static_cast<std::uint32_t>(y), plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
           bits);
  AttachMetadata(dib, handle.get());
  return dib;
}

}  // namespace

THeifKind HeifKindOf(std::span<const std::uint8_t> head) {
  if (head.size() < 12) return THeifKind::NotHeif;
  const int len = head.size() > 4096 ? 4096 : static_cast<int>(head.size());
  if (heif_check_filetype(head.data(), len) != heif_filetype_yes_supported) return THeifKind::NotHeif;
  const heif_brand brand = heif_main_brand(head.data(), len);
  return brand == heif_avif || brand == heif_avis ? THeifKind::Avif : THeifKind::Heif;
}

FIBITMAP* DecodeHeif(std::span<const std::uint8_t> file, bool headerOnly) {
  // Memory that runs out inside libheif ends this picture, not the worker.
  try {
    return Decode(file, headerOnly);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace decoder
