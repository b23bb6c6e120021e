#include "edit_test_support.h"

#include "decoder/decode_repairs.h"
#include "edit/exif/exif_data.h"
#include "edit/picture_pages.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

TDib Pattern(int width, int height) {
  TDib dib(FreeImage_Allocate(width, height, 24));
  for (int y = 0; y < height; ++y) {
    // FreeImage keeps rows bottom-up: scan line 0 is the bottom row.
    BYTE* line = FreeImage_GetScanLine(dib.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) {
      line[x * 3 + FI_RGBA_RED] = BYTE(x * 255 / std::max(1, width - 1));
      line[x * 3 + FI_RGBA_GREEN] = BYTE(y * 255 / std::max(1, height - 1));
      line[x * 3 + FI_RGBA_BLUE] = ((x / 16 + y / 16) % 2) ? 200 : 40;
    }
  }
  return dib;
}

TBytes EncodeWithFreeImage(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags) {
  FIMEMORY* memory = FreeImage_OpenMemory(nullptr, 0);
  TBytes out;
  if (FreeImage_SaveToMemory(fif, dib, memory, flags)) {
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    out.assign(data, data + size);
  }
  FreeImage_CloseMemory(memory);
  return out;
}

TDib DecodeBytes(const TBytes& bytes, int flags) {
  FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(bytes.data()), DWORD(bytes.size()));
  const FREE_IMAGE_FORMAT fif = FreeImage_GetFileTypeFromMemory(memory, 0);
  TDib dib(fif == FIF_UNKNOWN ? nullptr : FreeImage_LoadFromMemory(fif, memory, flags));
  FreeImage_CloseMemory(memory);
  return dib;
}

TDib DecodeFile(const std::string& path, int flags) { return DecodeBytes(ReadFile(path), flags); }

TDib Transformed(FIBITMAP* dib, TPictureTransform transform) {
  TDib out(FreeImage_Clone(dib));
  auto rotate = [&](double angle) { out.reset(FreeImage_Rotate(out.get(), angle, nullptr)); };
  switch (transform) {
    case ptIdentity: break;
    case ptFlipHorizontal: FreeImage_FlipHorizontal(out.get()); break;
    case ptFlipVertical: FreeImage_FlipVertical(out.get()); break;
    case ptTranspose:
      rotate(90);
      FreeImage_FlipVertical(out.get());
      break;
    case ptTransverse:
      rotate(-90);
      FreeImage_FlipVertical(out.get());
      break;
    case ptRotate90: rotate(-90); break;
    case ptRotate180: rotate(180); break;
    case ptRotate270: rotate(90); break;
  }
  return out;
}

double MeanDifference(FIBITMAP* a, FIBITMAP* b) {
  if (!a || !b || FreeImage_GetWidth(a) != FreeImage_GetWidth(b) || FreeImage_GetHeight(a) != FreeImage_GetHeight(b))
    return 1e9;
  TDib ca(FreeImage_ConvertTo24Bits(a)), cb(FreeImage_ConvertTo24Bits(b));
  const unsigned width = FreeImage_GetWidth(a), height = FreeImage_GetHeight(a);
  double sum = 0;
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* la = FreeImage_GetScanLine(ca.get(), int(y));
    const BYTE* lb = FreeImage_GetScanLine(cb.get(), int(y));
    for (unsigned i = 0; i < width * 3; ++i) sum += std::abs(int(la[i]) - int(lb[i]));
  }
  return sum / (double(width) * height * 3);
}

int ExifOrientation(const TBytes& file) {
  TExifData exif;
  exif.LoadFromBytes(file);
  const TExifTag* tag = exif.General().Find(0x0112);
  return tag && tag->ElementCount ? int(tag->ElementAsUInt(0)) : 0;
}

TBytes ScanData(const TBytes& jpeg) { return TBytes(jpeg.begin() + std::ptrdiff_t(ScanOffset(jpeg)), jpeg.end()); }

bool HasSegment(const TBytes& jpeg, uint8_t marker, const std::string& prefix) {
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA) {
    const size_t length = size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3];
    if (jpeg[pos + 1] == marker && length - 2 >= prefix.size() &&
        std::equal(prefix.begin(), prefix.end(), jpeg.begin() + std::ptrdiff_t(pos + 4)))
      return true;
    pos += 2 + length;
  }
  return false;
}

namespace {

struct TMultiPageCloser {
  void operator()(FIMULTIBITMAP* bitmap) const { FreeImage_CloseMultiBitmap(bitmap, 0); }
};
using TMultiPage = std::unique_ptr<FIMULTIBITMAP, TMultiPageCloser>;

bool Paged(FREE_IMAGE_FORMAT fif) { return fif == FIF_GIF || fif == FIF_TIFF || fif == FIF_ICO; }

unsigned ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return unsigned(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}
unsigned WriteProc(void*, unsigned, unsigned, fi_handle) { return 0; }
int SeekProc(fi_handle handle, long offset, int origin) {
  return std::fseek(static_cast<FILE*>(handle), offset, origin);
}
long TellProc(fi_handle handle) { return std::ftell(static_cast<FILE*>(handle)); }

// A page of the file, or the file's one picture, decoded with the worker's
// flags and repairs.
FIBITMAP* DecodeAsTheWorker(const std::string& path, FREE_IMAGE_FORMAT fif, int flags, unsigned page) {
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return nullptr;
  FreeImageIO io{ReadProc, WriteProc, SeekProc, TellProc};
  flags |= decoder::InkLoadFlags(fif);
  decoder::TDecodeRepairs repairs(fif, io, file.get(), flags, page);
  if (!Paged(fif))
    return page == 0 ? repairs.Finish(FreeImage_LoadFromHandle(fif, repairs.Io(), repairs.Handle(), repairs.Flags()))
                     : nullptr;
  FIMULTIBITMAP* pages = FreeImage_OpenMultiBitmapFromHandle(fif, repairs.Io(), repairs.Handle(), repairs.Flags());
  if (!pages) return nullptr;
  FIBITMAP* locked = FreeImage_LockPage(pages, int(page));
  FIBITMAP* dib = locked ? FreeImage_Clone(locked) : nullptr;
  // As the worker does: the clone keeps the animation model too.
  FITAG* tag = nullptr;
  if (FIMETADATA* search = locked ? FreeImage_FindFirstMetadata(FIMD_ANIMATION, locked, &tag) : nullptr) {
    do FreeImage_SetMetadata(FIMD_ANIMATION, dib, FreeImage_GetTagKey(tag), tag);
    while (FreeImage_FindNextMetadata(search, &tag));
    FreeImage_FindCloseMetadata(search);
  }
  if (locked) FreeImage_UnlockPage(pages, locked, FALSE);
  FreeImage_CloseMultiBitmap(pages, 0);
  return repairs.Finish(dib);
}

}  // namespace

unsigned TLocalShownFile::Pages() {
  const FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(FPath.c_str(), 0);
  if (!Paged(fif)) return 1;
  const TMultiPage file(FreeImage_OpenMultiBitmap(fif, FPath.c_str(), FALSE, TRUE, TRUE, 0));
  return file ? unsigned(FreeImage_GetPageCount(file.get())) : 0;
}

TFreeBitmap TLocalShownFile::Decode(unsigned page) {
  ++Decodes;
  return TFreeBitmap(DecodeAsTheWorker(FPath, FreeImage_GetFileType(FPath.c_str(), 0), FFlags, page), nullptr);
}

void TLocalChecker::Start(const std::string& path, FREE_IMAGE_FORMAT format, bool) {
  ++Checks;
  FFound = TCheckedFile();
  FFound.ContentFormat = FreeImage_GetFileType(path.c_str(), 0);
  const TDib dib(DecodeAsTheWorker(path, format, 0, 0));
  FFound.Decoded = dib != nullptr;
  if (!dib) return;
  FFound.Facts = FactsOf(dib.get());
  FFound.Facts.Format = FFound.ContentFormat;
  if (Paged(format)) {
    const TMultiPage file(FreeImage_OpenMultiBitmap(format, path.c_str(), FALSE, TRUE, TRUE, 0));
    FFound.Facts.Pages = file ? unsigned(FreeImage_GetPageCount(file.get())) : 0;
  }
}

namespace {

// The file decoded as the viewer loads it: deeper pictures converted to 32
// bits for the screen.
struct TLoaded {
  TFreeBitmap decoded;
  TDib converted;
  TPictureFacts facts;
  FIBITMAP* Working() const { return converted ? converted.get() : decoded.Dib(); }
};

TLoaded Load(TLocalShownFile& shown, const std::string& path) {
  TLoaded loaded;
  loaded.decoded = shown.Decode(0);
  loaded.facts = FactsOf(loaded.decoded.Dib());
  loaded.facts.Format = FreeImage_GetFileType(path.c_str(), 0);
  if (FreeImage_GetBPP(loaded.decoded.Dib()) > 32) {
    loaded.converted.reset(FreeImage_ConvertTo32Bits(loaded.decoded.Dib()));
    KeepPictureInfo(loaded.decoded.Dib(), loaded.converted.get(), ptIdentity);
  }
  return loaded;
}

}  // namespace

TOrientedResult OrientFile(const std::string& path, TOrientCommand command, bool exifRotation, FIBITMAP* edited,
                           TWrittenFileChecker* checker) {
  TLocalShownFile shown(path, exifRotation ? JPEG_EXIFROTATE : 0);
  const TLoaded loaded = Load(shown, path);
  FIBITMAP* working = edited ? edited : loaded.Working();
  TFreeBitmap turned;
  TOrientedWrite request;
  request.path = path;
  request.command = command;
  request.exifRotation = exifRotation;
  request.pictureEdited = edited != nullptr;
  request.workingImage = working;
  request.fileFormat = loaded.facts.Format;
  request.pictureConverted = loaded.converted != nullptr;
  request.fileHadAlpha = HasAlpha(loaded.facts);
  request.turnWorkingImage = [&]() -> FIBITMAP* {
    turned = TransformPicture(working, command);
    return turned.Dib();
  };
  request.shownFile = &shown;
  request.checker = checker;
  return WriteOrientedFile(request);
}

TSaveResult SaveFile(const std::string& path, const std::string& target, TWrittenFileChecker* checker,
                     const std::function<void(TDib& working)>& edit) {
  TLocalShownFile shown(path, JPEG_EXIFROTATE);
  TLoaded loaded = Load(shown, path);
  TDib working(FreeImage_Clone(loaded.Working()));
  if (edit) edit(working);
  TSaveRequest request;
  request.Path = target;
  request.Picture = working.get();
  request.UprightPixels = loaded.facts.Format == FIF_JPEG;
  request.SourcePath = path;
  request.SourceFormat = loaded.facts.Format;
  request.Shown = &shown;
  request.SourceHadAlpha = HasAlpha(loaded.facts);
  request.ReplacesSource = target == path;
  request.PictureEdited = true;
  request.Checker = checker;
  return SavePicture(request);
}
