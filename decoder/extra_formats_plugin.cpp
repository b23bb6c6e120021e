#include "decoder/extra_formats_plugin.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <vector>

namespace decoder {

namespace {

// Enough for the signature and a HEIF file's type box with its brands.
constexpr unsigned HeadBytes = 512;
// Files beyond this are not read into memory.
constexpr long MaxFileBytes = 1L << 30;

std::atomic<bool (*)(std::span<const std::uint8_t>)> Matches[3];
std::atomic<FIBITMAP* (*)(std::span<const std::uint8_t>, bool)> Decoders[3];

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

template <TExtraKind Kind>
struct TPlugin {
  static constexpr int Index = static_cast<int>(Kind);
  static BOOL DLL_CALLCONV Validate(FreeImageIO* io, fi_handle handle) {
    const auto matches = Matches[Index].load();
    return matches && matches(ReadHead(io, handle)) ? TRUE : FALSE;
  }
  static FIBITMAP* DLL_CALLCONV Load(FreeImageIO* io, fi_handle handle, int, int flags, void*) {
    const auto decode = Decoders[Index].load();
    if (!decode || !io || !handle) return nullptr;
    const std::vector<std::uint8_t> file = ReadRest(io, handle);
    return file.empty() ? nullptr : decode(file, (flags & FIF_LOAD_NOPIXELS) != 0);
  }
  static const char* DLL_CALLCONV Mime() {
    switch (Kind) {
      case TExtraKind::Heif: return "image/heif";
      case TExtraKind::Avif: return "image/avif";
      case TExtraKind::Jxl: return "image/jxl";
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
  formats.heif = FreeImage_RegisterLocalPlugin(TPlugin<TExtraKind::Heif>::Init, "HEIF", "High Efficiency Image File",
                                               "heic,heif,hif");
  formats.avif = FreeImage_RegisterLocalPlugin(TPlugin<TExtraKind::Avif>::Init, "AVIF", "AV1 Image File", "avif");
  formats.jxl = FreeImage_RegisterLocalPlugin(TPlugin<TExtraKind::Jxl>::Init, "JXL", "JPEG XL", "jxl");
  return formats;
}

}  // namespace

const TExtraFormats& RegisterExtraFormats() {
  static const TExtraFormats formats = Register();
  return formats;
}

void SetExtraReader(TExtraKind kind, const TExtraReader& reader) {
  Matches[static_cast<int>(kind)] = reader.matches;
  Decoders[static_cast<int>(kind)] = reader.decode;
}

}  // namespace decoder
