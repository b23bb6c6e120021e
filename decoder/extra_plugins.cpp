#include "decoder/extra_plugins.h"

#include "decoder/heif_decoder.h"
#include "decoder/jxl_decoder.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <span>
#include <vector>

namespace decoder {

namespace {

enum class TExtra { Heif, Avif, Jxl };

// Enough for the signature and a HEIF file's type box with its brands.
constexpr unsigned HeadBytes = 512;
// Files beyond this are not read into memory.
constexpr long MaxFileBytes = 1L << 30;

std::vector<std::uint8_t> ReadHead(FreeImageIO* io, fi_handle handle) {
  std::vector<std::uint8_t> head(HeadBytes);
  head.resize(io->read_proc(head.data(), 1, HeadBytes, handle));
  return head;
}

// The rest of the file from where handle stands; empty when it is too
// large or memory runs out.
std::vector<std::uint8_t> ReadRest(FreeImageIO* io, fi_handle handle) {
  const long start = io->tell_proc(handle);
  if (start < 0 || io->seek_proc(handle, 0, SEEK_END) != 0) return {};
  const long end = io->tell_proc(handle);
  if (end <= start || end - start > MaxFileBytes || io->seek_proc(handle, start, SEEK_SET) != 0) return {};
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(end - start));
  } catch (const std::bad_alloc&) {
    return {};
  }
  bytes.resize(io->read_proc(bytes.data(), 1, static_cast<unsigned>(bytes.size()), handle));
  return bytes;
}

bool Matches(TExtra kind, std::span<const std::uint8_t> head) {
  switch (kind) {
    case TExtra::Heif: return HeifKindOf(head) == THeifKind::Heif;
    case TExtra::Avif: return HeifKindOf(head) == THeifKind::Avif;
    case TExtra::Jxl: return IsJxl(head);
  }
  return false;
}

template <TExtra Kind>
struct TPlugin {
  static BOOL DLL_CALLCONV Validate(FreeImageIO* io, fi_handle handle) {
    return Matches(Kind, ReadHead(io, handle)) ? TRUE : FALSE;
  }
  static FIBITMAP* DLL_CALLCONV Load(FreeImageIO* io, fi_handle handle, int, int flags, void*) {
    if (!io || !handle) return nullptr;
    const std::vector<std::uint8_t> file = ReadRest(io, handle);
    if (file.empty()) return nullptr;
    const bool headerOnly = (flags & FIF_LOAD_NOPIXELS) != 0;
    return Kind == TExtra::Jxl ? DecodeJxl(file, headerOnly) : DecodeHeif(file, headerOnly);
  }
  static const char* DLL_CALLCONV Mime() {
    switch (Kind) {
      case TExtra::Heif: return "image/heif";
      case TExtra::Avif: return "image/avif";
      case TExtra::Jxl: return "image/jxl";
    }
    return nullptr;
  }
  static BOOL DLL_CALLCONV NoPixels() { return TRUE; }
  static void DLL_CALLCONV Init(Plugin* plugin, int) {
    plugin->load_proc = Load;
    plugin->validate_proc = Validate;
    plugin->mime_proc = Mime;
    plugin->supports_no_pixels_proc = NoPixels;
  }
};

TExtraFormats Register() {
  TExtraFormats formats;
  formats.heif = FreeImage_RegisterLocalPlugin(TPlugin<TExtra::Heif>::Init, "HEIF", "High Efficiency Image File",
                                               "heic,heif,hif");
  formats.avif = FreeImage_RegisterLocalPlugin(TPlugin<TExtra::Avif>::Init, "AVIF", "AV1 Image File", "avif");
  formats.jxl = FreeImage_RegisterLocalPlugin(TPlugin<TExtra::Jxl>::Init, "JXL", "JPEG XL", "jxl");
  return formats;
}

}  // namespace

const TExtraFormats& RegisterExtraDecoders() {
  static const TExtraFormats formats = Register();
  return formats;
}

}  // namespace decoder
