#include "decoder/worker_pages.h"

#include "platform/freeimage_setup.h"

#include <algorithm>

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
  const TMultiPage file(FreeImage_OpenMultiBitmapFromHandle(fif, &io, handle, flags));
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
  return dib;
}

FIBITMAP* DecodeForCheck(FREE_IMAGE_FORMAT fif, FreeImageIO& io, fi_handle handle, unsigned& width,
                         unsigned& height, bool& warned) {
  width = height = 0;
  warned = false;
  int flags = 0;
  if (fif == FIF_JPEG) {
    if (!Rewind(io, handle)) return nullptr;
    FIBITMAP* header = FreeImage_LoadFromHandle(fif, &io, handle, FIF_LOAD_NOPIXELS);
    if (!header) return nullptr;
    width = FreeImage_GetWidth(header);
    height = FreeImage_GetHeight(header);
    FreeImage_Unload(header);
    const unsigned side = std::max(width, height);
    // libjpeg scales by an eighth at most; asking for the eighth of the
    // longer side (rounded up) gets exactly that.
    if (side > FullCheckSide) flags = int(((side + 7) / 8) << 16);
  }
  if (!Rewind(io, handle)) return nullptr;
  Warnings() = 0;
  FreeImage_SetOutputMessage(CountWarning);
  FIBITMAP* dib = FreeImage_LoadFromHandle(fif, &io, handle, flags);
  InstallImageLibraryMessageHandlers();
  warned = fif == FIF_JPEG && Warnings() > 0;
  if (dib && fif != FIF_JPEG) {
    width = FreeImage_GetWidth(dib);
    height = FreeImage_GetHeight(dib);
  }
  return dib;
}

}  // namespace decoder
