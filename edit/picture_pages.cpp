#include "edit/picture_pages.h"

#include "edit/icc_profile.h"
#include "platform/free_bitmap.h"

#include <algorithm>
#include <memory>

namespace {

bool ShortTag(FIBITMAP* dib, const char* key, unsigned& value) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(FIMD_ANIMATION, dib, key, &tag) || !tag || FreeImage_GetTagType(tag) != FIDT_SHORT)
    return false;
  value = *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
  return true;
}

void SetShortTag(FIBITMAP* dib, const char* key, unsigned value) {
  WORD word = WORD(std::min(value, 0xFFFFu));
  FITAG* tag = FreeImage_CreateTag();
  if (!tag) return;
  FreeImage_SetTagKey(tag, key);
  FreeImage_SetTagType(tag, FIDT_SHORT);
  FreeImage_SetTagCount(tag, 1);
  FreeImage_SetTagLength(tag, sizeof word);
  FreeImage_SetTagValue(tag, &word);
  FreeImage_SetMetadata(FIMD_ANIMATION, dib, key, tag);
  FreeImage_DeleteTag(tag);
}

void CopyModel(FIBITMAP* from, FIBITMAP* to, FREE_IMAGE_MDMODEL model) {
  FITAG* tag = nullptr;
  FIMETADATA* search = FreeImage_FindFirstMetadata(model, from, &tag);
  if (!search) return;
  do {
    FreeImage_SetMetadata(model, to, FreeImage_GetTagKey(tag), tag);
  } while (FreeImage_FindNextMetadata(search, &tag));
  FreeImage_FindCloseMetadata(search);
}

struct TMultiPageCloser {
  void operator()(FIMULTIBITMAP* bitmap) const { FreeImage_CloseMultiBitmap(bitmap, 0); }
};
struct TMemoryCloser {
  void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};

}  // namespace

bool AnimationScreen(FIBITMAP* firstFrame, unsigned& width, unsigned& height) {
  return ShortTag(firstFrame, "LogicalWidth", width) && ShortTag(firstFrame, "LogicalHeight", height);
}

void PlaceAnimationFrame(FIBITMAP* frame, TPictureTransform transform, unsigned screenWidth, unsigned screenHeight) {
  unsigned left = 0, top = 0;
  if (ShortTag(frame, "FrameLeft", left) && ShortTag(frame, "FrameTop", top)) {
    // The frame's width and height before the transform.
    unsigned width = FreeImage_GetWidth(frame), height = FreeImage_GetHeight(frame);
    if (SwapsSides(transform)) std::swap(width, height);
    int x0 = int(left), y0 = int(top), x1 = int(left + width) - 1, y1 = int(top + height) - 1;
    TransformPoint(transform, int(screenWidth), int(screenHeight), x0, y0);
    TransformPoint(transform, int(screenWidth), int(screenHeight), x1, y1);
    SetShortTag(frame, "FrameLeft", unsigned(std::max(0, std::min(x0, x1))));
    SetShortTag(frame, "FrameTop", unsigned(std::max(0, std::min(y0, y1))));
  }
  unsigned logicalWidth = 0, logicalHeight = 0;
  if (SwapsSides(transform) && AnimationScreen(frame, logicalWidth, logicalHeight)) {
    SetShortTag(frame, "LogicalWidth", logicalHeight);
    SetShortTag(frame, "LogicalHeight", logicalWidth);
  }
}

void KeepPictureInfo(FIBITMAP* source, FIBITMAP* result, TPictureTransform transform) {
  if (!source || !result) return;
  if (result != source) {
    const unsigned bpp = FreeImage_GetBPP(source);
    if (bpp <= 8 && bpp == FreeImage_GetBPP(result) && FreeImage_GetPalette(source) && FreeImage_GetPalette(result))
      std::copy_n(FreeImage_GetPalette(source), FreeImage_GetColorsUsed(source), FreeImage_GetPalette(result));
    if (FreeImage_GetTransparencyCount(source) > 0 && FreeImage_GetTransparencyCount(result) == 0)
      FreeImage_SetTransparencyTable(result, FreeImage_GetTransparencyTable(source),
                                     int(FreeImage_GetTransparencyCount(source)));
    FreeImage_SetTransparent(result, FreeImage_IsTransparent(source));
    RGBQUAD background;
    if (FreeImage_GetBackgroundColor(source, &background)) FreeImage_SetBackgroundColor(result, &background);
    KeepIccProfile(source, result);
    // FreeImage copies every model but the animation one.
    if (FreeImage_GetMetadataCount(FIMD_ANIMATION, result) == 0) CopyModel(source, result, FIMD_ANIMATION);
    if (SwapsSides(transform)) {
      FreeImage_SetDotsPerMeterX(result, FreeImage_GetDotsPerMeterY(source));
      FreeImage_SetDotsPerMeterY(result, FreeImage_GetDotsPerMeterX(source));
    }
  }
  unsigned screenWidth = 0, screenHeight = 0;
  if (AnimationScreen(source, screenWidth, screenHeight))
    PlaceAnimationFrame(result, transform, screenWidth, screenHeight);
}

bool EncodePages(const std::vector<FIBITMAP*>& pages, FREE_IMAGE_FORMAT fif, int flags, std::vector<uint8_t>& out) {
  if (pages.empty()) return false;
  // FreeImage makes a multi-page file in memory only from an existing one: a
  // small file of the format is opened, given the pages and rid of its own
  // (GIF holds 8 bits at most; the ICO encoder refuses a one-pixel icon).
  const TFreeBitmap pixel(FreeImage_Allocate(16, 16, fif == FIF_GIF ? 8 : 24));
  std::unique_ptr<FIMEMORY, TMemoryCloser> seed(FreeImage_OpenMemory());
  if (!pixel || !seed || !FreeImage_SaveToMemory(fif, pixel.Dib(), seed.get(), 0)) return false;
  FreeImage_SeekMemory(seed.get(), 0, SEEK_SET);
  std::unique_ptr<FIMULTIBITMAP, TMultiPageCloser> file(FreeImage_LoadMultiBitmapFromMemory(fif, seed.get(), 0));
  if (!file || FreeImage_GetPageCount(file.get()) != 1) return false;
  for (FIBITMAP* page : pages) {
    const int before = FreeImage_GetPageCount(file.get());
    FreeImage_AppendPage(file.get(), page);
    if (FreeImage_GetPageCount(file.get()) != before + 1) return false;
  }
  FreeImage_DeletePage(file.get(), 0);
  if (FreeImage_GetPageCount(file.get()) != int(pages.size())) return false;
  std::unique_ptr<FIMEMORY, TMemoryCloser> written(FreeImage_OpenMemory());
  if (!written || !FreeImage_SaveMultiBitmapToMemory(fif, file.get(), written.get(), flags)) return false;
  BYTE* data = nullptr;
  DWORD size = 0;
  if (!FreeImage_AcquireMemory(written.get(), &data, &size) || size == 0) return false;
  out.assign(data, data + size);
  return true;
}
