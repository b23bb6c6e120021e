#include "decoder/worker_pages.h"
#include "platform/free_bitmap.h"

#include "decoder/decode_repairs.h"
#include "platform/freeimage_setup.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace decoder {

namespace {

// Beyond this the reduced decode of a JPEG saves more than it costs.
constexpr unsigned FullCheckSide = 2048;

struct TMultiPage {
  explicit TMultiPage(FIMULTIBITMAP* bitmap) : Bitmap(bitmap) {}
  ~TMultiPage() {
    if (Bitmap) FreeImage_CloseMultiBitmap(Bitmap, 0);
  }
  TMultiPage(const TMultiPage&) = delete;
  TMultiPage& operator=(const TMultiPage&) = delete;
  FIMULTIBITMAP* Bitmap;
};

bool Rewind(FreeImageIO& io, fi_handle handle) { return io.seek_proc(handle, 0, SEEK_SET) == 0; }

// Counts what FreeImage reports while the check decodes; libjpeg's warnings
// about damaged data arrive this way and change nothing else.
int& Warnings() {
  static int count = 0;
  return count;
}

void CountWarning(FREE_IMAGE_FORMAT, const char*) { ++Warnings(); }

// The first bytes of a JPEG stream and then its end-of-image marker: a
// decode of it costs what the first rows cost.
struct TPrefix {
  const std::vector<unsigned char>* Data = nullptr;
  size_t Served = 0, Limit = 0;
  long Position = 0;
};

unsigned PrefixRead(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  auto& prefix = *static_cast<TPrefix*>(handle);
  static constexpr unsigned char End[] = {0xFF, 0xD9};
  auto* out = static_cast<unsigned char*>(buffer);
  const size_t wanted = size_t(size) * count;
  size_t done = 0;
  while (done < wanted) {
    const size_t at = size_t(prefix.Position);
    if (at < prefix.Limit) {
      const size_t n = std::min(wanted - done, prefix.Limit - at);
      std::memcpy(out + done, prefix.Data->data() + at, n);
      done += n;
      prefix.Position += long(n);
    } else if (at < prefix.Limit + sizeof End) {
      out[done++] = End[at - prefix.Limit];
      ++prefix.Position;
    } else {
      break;
    }
  }
  return size ? unsigned(done / size) : 0;
}
unsigned PrefixWrite(void*, unsigned, unsigned, fi_handle) { return 0; }
int PrefixSeek(fi_handle handle, long offset, int origin) {
  auto& prefix = *static_cast<TPrefix*>(handle);
  const long end = long(prefix.Limit + 2);
  const long to = origin == SEEK_SET ? offset : origin == SEEK_CUR ? prefix.Position + offset : end + offset;
  if (to < 0 || to > end) return -1;
  prefix.Position = to;
  return 0;
}
long PrefixTell(fi_handle handle) { return static_cast<TPrefix*>(handle)->Position; }

bool ReadWhole(FreeImageIO& io, fi_handle handle, std::vector<unsigned char>& data) {
  if (io.seek_proc(handle, 0, SEEK_END) != 0) return false;
  const long size = io.tell_proc(handle);
  if (size <= 0 || !Rewind(io, handle)) return false;
  data.resize(size_t(size));
  return io.read_proc(data.data(), 1, unsigned(size), handle) == unsigned(size);
}

unsigned BigEndian16(const unsigned char* p) { return unsigned(p[0]) << 8 | p[1]; }

// A large JPEG whose blocks were moved: its structure walked whole, its
// first rows decoded with flags (which ask for an eighth of their size).
FIBITMAP* DecodeMovedBlocks(FreeImageIO& io, fi_handle handle, int flags, bool& damaged) {
  std::vector<unsigned char> data;
  size_t scanStart = 0;
  if (!ReadWhole(io, handle, data)) return nullptr;
  damaged = !JpegStructureHolds(data.data(), data.size(), scanStart);
  if (damaged) return nullptr;
  TPrefix prefix;
  prefix.Data = &data;
  prefix.Limit = std::min(data.size() - 2, scanStart + std::max<size_t>(64 << 10, (data.size() - scanStart) / 16));
  FreeImageIO prefixIo{PrefixRead, PrefixWrite, PrefixSeek, PrefixTell};
  // The stream ends early by design: its warnings say nothing here.
  FreeImage_SetOutputMessage(CountWarning);
  FIBITMAP* dib = FreeImage_LoadFromHandle(FIF_JPEG, &prefixIo, &prefix, flags);
  InstallImageLibraryMessageHandlers();
  return dib;
}

}  // namespace

bool IsMultiPageFormat(FREE_IMAGE_FORMAT fif) { return fif == FIF_GIF || fif == FIF_TIFF || fif == FIF_ICO; }

unsigned CountPages(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle) {
  if (!IsMultiPageFormat(fif)) return 1;
  if (!Rewind(io, handle)) return 0;
  const TMultiPage file(FreeImage_OpenMultiBitmapFromHandle(fif, &io, handle, 0));
  if (!file.Bitmap) return 0;
  return unsigned(std::max(0, FreeImage_GetPageCount(file.Bitmap)));
}

FIBITMAP* DecodePage(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, unsigned page, int flags,
                     unsigned& pages) {
  pages = 0;
  if (!IsMultiPageFormat(fif) || !Rewind(io, handle)) return nullptr;
  TDecodeRepairs repairs(fif, io, handle, flags, page);
  const TMultiPage file(FreeImage_OpenMultiBitmapFromHandle(fif, repairs.Io(), repairs.Handle(), repairs.Flags()));
  if (!file.Bitmap) return nullptr;
  pages = unsigned(std::max(0, FreeImage_GetPageCount(file.Bitmap)));
  if (page >= pages) return nullptr;
  FIBITMAP* locked = FreeImage_LockPage(file.Bitmap, int(page));
  if (!locked) return nullptr;
  // The clone outlives the file; FreeImage's clone leaves the animation
  // model behind, which says where and how long a GIF frame shows.
  FIBITMAP* dib = FreeImage_Clone(locked);
  if (dib) {
    FITAG* tag = nullptr;
    FIMETADATA* search = FreeImage_FindFirstMetadata(FIMD_ANIMATION, locked, &tag);
    if (search) {
      do {
        FreeImage_SetMetadata(FIMD_ANIMATION, dib, FreeImage_GetTagKey(tag), tag);
      } while (FreeImage_FindNextMetadata(search, &tag));
      FreeImage_FindCloseMetadata(search);
    }
  }
  FreeImage_UnlockPage(file.Bitmap, locked, FALSE);
  return repairs.Finish(dib);
}

bool JpegStructureHolds(const unsigned char* data, size_t size, size_t& scanStart) {
  scanStart = 0;
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t pos = 2;
  while (pos + 2 <= size) {
    if (data[pos] != 0xFF) return false;
    while (pos + 1 < size && data[pos + 1] == 0xFF) ++pos;  // fill bytes
    if (pos + 2 > size) return false;
    const unsigned char marker = data[pos + 1];
    if (marker == 0xD9) return pos + 2 == size;
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      pos += 2;
      continue;
    }
    if (pos + 4 > size) return false;
    const size_t length = BigEndian16(data + pos + 2);
    if (length < 2 || pos + 2 + length > size) return false;
    pos += 2 + length;
    if (marker != 0xDA) continue;
    if (!scanStart) scanStart = pos;
    // Coded data: a 0xFF is a stuffed byte, a restart marker, a fill byte,
    // or the marker that ends the scan.
    while (pos < size) {
      const auto* ff = static_cast<const unsigned char*>(std::memchr(data + pos, 0xFF, size - pos));
      if (!ff) return false;
      pos = size_t(ff - data);
      if (pos + 1 >= size) return false;
      const unsigned char next = data[pos + 1];
      if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
        pos += 2;
      } else if (next == 0xFF) {
        ++pos;
      } else {
        break;
      }
    }
  }
  return false;
}

FIBITMAP* DecodeForCheck(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, bool movedBlocks, unsigned& width,
                         unsigned& height, bool& warned) {
  width = height = 0;
  warned = false;
  // Decoded as the viewer decodes it, CMYK as its inks.
  int flags = InkLoadFlags(fif);
  if (fif == FIF_JPEG) {
    if (!Rewind(io, handle)) return nullptr;
    const TFreeBitmap header(FreeImage_LoadFromHandle(fif, &io, handle, FIF_LOAD_NOPIXELS));
    if (!header) return nullptr;
    width = header.Width();
    height = header.Height();
    const unsigned side = std::max(width, height);
    // libjpeg scales by an eighth at most; asking for the eighth of the
    // longer side (rounded up) gets exactly that.
    if (side > FullCheckSide) flags |= int(((side + 7) / 8) << 16);
    if (side > FullCheckSide && movedBlocks) return DecodeMovedBlocks(io, handle, flags, warned);
  }
  if (!Rewind(io, handle)) return nullptr;
  Warnings() = 0;
  FreeImage_SetOutputMessage(CountWarning);
  TDecodeRepairs repairs(fif, io, handle, flags);
  FIBITMAP* dib = repairs.Finish(FreeImage_LoadFromHandle(fif, repairs.Io(), repairs.Handle(), repairs.Flags()));
  InstallImageLibraryMessageHandlers();
  warned = fif == FIF_JPEG && Warnings() > 0;
  if (dib && fif != FIF_JPEG) {
    width = FreeImage_GetWidth(dib);
    height = FreeImage_GetHeight(dib);
  }
  return dib;
}

}  // namespace decoder
