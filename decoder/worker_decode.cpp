#include "decoder/worker_decode.h"

#include "decoder/bmp_reader.h"
#include "decoder/camera_raw.h"
#include "decoder/decode_repairs.h"
#include "decoder/worker_frames.h"
#include "decoder/worker_pages.h"
#include "platform/file_descriptor.h"
#include "platform/posix_io.h"

#include <algorithm>
#include <cstdio>

namespace decoder {

namespace {

unsigned ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}
unsigned WriteProc(void*, unsigned, unsigned, fi_handle) { return 0; }
int SeekProc(fi_handle handle, long offset, int origin) {
  return std::fseek(static_cast<FILE*>(handle), offset, origin);
}
long TellProc(fi_handle handle) { return std::ftell(static_cast<FILE*>(handle)); }

FreeImageIO FileIO() {
  FreeImageIO io{};
  io.read_proc = ReadProc;
  io.write_proc = WriteProc;
  io.seek_proc = SeekProc;
  io.tell_proc = TellProc;
  return io;
}

}  // namespace

namespace {

// A JPEG at least twice the preview size each way is first decoded reduced
// (libjpeg scales by 2, 4 or 8 while decoding, at a fraction of the cost).
void SendPreview(FILE* file, FreeImageIO& io, int flags, unsigned previewSize, const TPreviewSink& sink) {
  unsigned width = 0, height = 0;
  {
    const TFreeBitmap header(FreeImage_LoadFromHandle(FIF_JPEG, &io, file, FIF_LOAD_NOPIXELS));
    if (!header) return;
    width = header.Width();
    height = header.Height();
  }
  if (std::max(width, height) < 2 * previewSize || std::fseek(file, 0, SEEK_SET) != 0) return;
  TDecodeRepairs repairs(FIF_JPEG, io, file, flags | static_cast<int>(previewSize << 16));
  TFreeBitmap preview(
      repairs.Finish(FreeImage_LoadFromHandle(FIF_JPEG, repairs.Io(), repairs.Handle(), repairs.Flags())));
  if (!preview) return;
  // Turned upright by its orientation, the preview is turned like the full
  // decode will be.
  const bool turned = (preview.Width() > preview.Height()) != (width > height);
  sink(std::move(preview), turned ? height : width, turned ? width : height);
}

}  // namespace

TWorkerResult DecodeFile(int fd, const std::string& name, int flags, const TWorkerAsk& ask,
                         const TPreviewSink& preview) {
  const TRequestKind kind = ask.kind;
  const unsigned previewSize = ask.previewSize;
  TWorkerResult result;
  // Only regular files are read at all; anything else is known by its name
  // alone.
  TFileDescriptor owned(fd);
  FILE* file = nullptr;
  if (owned.Valid()) {
    result.stampValid = StampOfFd(owned.Get(), result.stamp);
    if (result.stampValid) file = ::fdopen(owned.Get(), "rb");
    if (file) owned.Release();  // the stream closes it
  }
  FreeImageIO io = FileIO();

  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  if (file) fif = FreeImage_GetFileTypeFromHandle(&io, file, 0);
  // A file just written has a temporary name: only its content tells.
  if (fif == FIF_UNKNOWN && kind != TRequestKind::Check) fif = FreeImage_GetFIFFromFilename(name.c_str());
  if (kind == TRequestKind::Check) {
    // Decoded as what it was written as; fif says what its content is.
    result.fif = fif;
    result.status = TReplyStatus::Failed;
    if (file && ask.format != FIF_UNKNOWN && FreeImage_FIFSupportsReading(ask.format)) {
      result.pages = CountPages(ask.format, io, file);
      result.bitmap.Assign(DecodeForCheck(ask.format, io, file, (flags & CheckMovedBlocks) != 0, result.fullWidth,
                                          result.fullHeight, result.warned));
      if (result.bitmap) result.status = TReplyStatus::Decoded;
    }
  } else if (fif == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(fif)) {
    result.status = TReplyStatus::UnknownFormat;
    result.fif = FIF_UNKNOWN;
  } else if (kind == TRequestKind::Identify) {
    result.status = TReplyStatus::Identified;
    result.fif = fif;
    result.pages = file ? CountPages(fif, io, file) : 1;
  } else if (kind == TRequestKind::DecodePage) {
    result.fif = fif;
    if (file) result.bitmap.Assign(DecodePage(fif, io, file, ask.page, flags | InkLoadFlags(fif), result.pages));
    result.status = result.bitmap ? TReplyStatus::Decoded : TReplyStatus::Failed;
  } else if (kind == TRequestKind::DecodeFrame) {
    result.fif = fif;
    if (file && result.stampValid) DecodeAnimationFrame(::fileno(file), result.stamp, ask.page, result);
    result.status = result.bitmap ? TReplyStatus::Decoded : TReplyStatus::Failed;
  } else {
    result.fif = fif;
    // CMYK files come as their inks, for the viewer to show through their
    // colour profile, never through a formula.
    flags |= InkLoadFlags(fif);
    if (file && preview && previewSize > 0 && previewSize < 0x8000 && fif == FIF_JPEG &&
        std::fseek(file, 0, SEEK_SET) == 0)
      SendPreview(file, io, flags, previewSize, preview);
    if (file && std::fseek(file, 0, SEEK_SET) == 0) {
      if (fif == FIF_RAW) {
        result.bitmap.Assign(DecodeCameraRaw(io, file));
      } else {
        TDecodeRepairs repairs(fif, io, file, flags);
        result.bitmap.Assign(
            repairs.Finish(FreeImage_LoadFromHandle(fif, repairs.Io(), repairs.Handle(), repairs.Flags())));
      }
    }
    // FreeImage refuses the newer BMP headers; our own reader takes them.
    if (!result.bitmap && file && fif == FIF_BMP) result.bitmap.Assign(ReadBmp(file));
    // The viewer plays an animation once it knows of its frames; they are
    // decoded from this opening of the file, kept for the frames asked next.
    if (file && result.stampValid && (fif == FIF_GIF || fif == FIF_WEBP))
      result.pages = OpenCurrentAnimation(::fileno(file), result.stamp);
    result.status = result.bitmap ? TReplyStatus::Decoded : TReplyStatus::Failed;
  }

  if (file) {
    TFileStamp after;
    result.stable = result.stampValid && StampOfFd(::fileno(file), after) && after == result.stamp;
    std::fclose(file);
  }
  return result;
}

}  // namespace decoder
