#include "viewer/picture_document.h"

#include "edit/cmyk_picture.h"
#include "edit/rescale_picture.h"
#include "edit/resize_size.h"
#include "viewer/image_loader.h"

namespace {

QString SizeText(std::int64_t width, std::int64_t height) { return QStringLiteral("%1 x %2").arg(width).arg(height); }

TCommandResult Failure(const QString& text) { return {text, FailureMs, false, false, false}; }

double& ToneVariable(TToneState& tone, TToneValue which) {
  switch (which) {
    case tvBrightness: return tone.fBrightness;
    case tvContrast: return tone.fContrast;
    case tvGamma: break;
  }
  return tone.fGamma;
}

}  // namespace

void TPictureDocument::StartLoad(const QString& path, bool exifRotation) {
  FExifRotation = exifRotation;
  LoadProblem.clear();
  bWorkingImageEdited = false;
  FDecoder.StartLoad(DecoderPath(path), LoadFlags(exifRotation), PreviewSize);
}

bool TPictureDocument::TakePreview() {
  decoder::TLoadResult preview;
  unsigned width = 0;
  unsigned height = 0;
  if (!FDecoder.TakePreview(preview, width, height)) return false;
  Preview = std::move(preview.bitmap);
  PreviewWidth = width;
  PreviewHeight = height;
  return true;
}

void TPictureDocument::FinishLoad(const QString& path, TFreeBitmap& previous) {
  decoder::TLoadResult result = FDecoder.TakeLoad();
  LoadProblem = LoadProblemMessage(path, result.problem);
  AnimationFrames = result.frames;
  bLastLoadReadFile = ApplyLoadResult(Bitmap, std::move(result), &previous, &FileFacts);
  Preview.Clear();
}

void TPictureDocument::Load(const QString& path, bool exifRotation) {
  StartLoad(path, exifRotation);
  FDecoder.WaitLoad(-1, false);
  TFreeBitmap previous;
  FinishLoad(path, previous);
}

void TPictureDocument::ReloadFile(const QString& path, bool exifRotation) {
  if (LoadFile)
    LoadFile(path);
  else
    Load(path, exifRotation);
}

void TPictureDocument::ApplyAdjustments(double gamma, double brightness, double contrast) {
  if (!Bitmap.IsValid()) return;
  // The curves work on red, green and blue: a CMYK picture is first turned
  // into sRGB through its profile.
  if (!ToneIsNeutral(gamma, brightness, contrast) && IsCmykPicture(Bitmap.Dib()))
    Bitmap.Replace(CmykToSrgb(Bitmap.Dib()));
  // The curves leave alpha and the transparency table alone: the bitmap's
  // composite answer stands.
  ApplyToneAdjustments(Bitmap.Dib(), gamma, brightness, contrast);
  Bitmap.Touch();
  if (!ToneIsNeutral(gamma, brightness, contrast)) bWorkingImageEdited = true;
}

bool TPictureDocument::ReloadForTone(const QString& path, TToneValue which, TCommandResult& result) {
  const bool bEdited = bWorkingImageEdited;
  ReloadFile(path, FExifRotation);
  // A file whose decode failed leaves no picture, and the value moves all
  // the same; one that is no picture any more leaves the previous one, which
  // must not get the new values on top of the old.
  if (bLastLoadReadFile) return true;
  bWorkingImageEdited = bEdited;
  result = Failure(
      QStringLiteral("%1 was not changed: the file could not be read").arg(QLatin1String(ToneRange(which).name)));
  result.repaint = true;
  return false;
}

TCommandResult TPictureDocument::ToneStep(const QString& path, TToneState& tone, TToneValue which,
                                          TToneDirection direction) {
  double& value = ToneVariable(tone, which);
  if (!ToneCanStep(which, value, direction))
    return {ToneLimitMessage(which, value), ConfirmationMs, false, true, false};
  TCommandResult result;
  if (!ReloadForTone(path, which, result)) return result;
  value = ToneStepped(which, value, direction);
  ApplyAdjustments(tone.fGamma, tone.fBrightness, tone.fContrast);
  return {ToneStepMessage(which, direction, value), ConfirmationMs, true};
}

TCommandResult TPictureDocument::ToneOriginal(const QString& path, TToneState& tone, TToneValue which) {
  TCommandResult result;
  if (!ReloadForTone(path, which, result)) return result;
  double& value = ToneVariable(tone, which);
  value = ToneRange(which).neutral;
  ApplyAdjustments(tone.fGamma, tone.fBrightness, tone.fContrast);
  return {ToneOriginalMessage(which, value), ConfirmationMs, true};
}

TCommandResult TPictureDocument::ConvertToGrayScale() {
  if (Bitmap.IsValid()) {
    // An 8-bit grey picture comes back as a copy of itself: nothing changed.
    const bool grey = Bitmap.BPP() == 8 && FreeImage_GetColorType(Bitmap.Dib()) == FIC_MINISBLACK;
    // FreeImage would weigh the inks as red, green and blue.
    if (IsCmykPicture(Bitmap.Dib())) Bitmap.Replace(CmykToSrgb(Bitmap.Dib()));
    if (Bitmap.Replace(FreeImage_ConvertToGreyscale(Bitmap.Dib())) && !grey) bWorkingImageEdited = true;
  }
  TCommandResult result;
  result.repaint = true;
  return result;
}

TCommandResult TPictureDocument::ResizeWorkingImage(std::int64_t width, std::int64_t height, int filter) {
  const QString failed = QStringLiteral("The picture could not be resized");
  // A file that is no longer a picture leaves the previous one in memory,
  // which is not the file's picture to resize (nor to save in its place).
  if (!Bitmap.IsValid() || !bLastLoadReadFile) return Failure(failed + QStringLiteral(": the file could not be read"));
  if (width <= 0 || height <= 0) return Failure(failed + QStringLiteral(" to ") + SizeText(width, height));
  // Refused before anything is allocated, and the working image stays.
  if (!RescaleFitsInMemory(Bitmap.Dib(), width, height))
    return Failure(failed + QStringLiteral(": ") + SizeText(width, height) + QStringLiteral(" is too large"));
  FIBITMAP* dib = Bitmap.Release();
  const bool resized = RescalePicture(dib, int(width), int(height), filter);
  Bitmap.Assign(dib);
  if (!resized) return Failure(failed);
  bWorkingImageEdited = true;
  return {};
}

TCommandResult TPictureDocument::ResizeToHeight(const QString& path, int height, int filter) {
  ReloadFile(path, FExifRotation);
  // A file that cannot be read any more leaves no picture and no
  // proportions (height 0): ResizeWorkingImage says so.
  const std::int64_t width = WidthForHeight(Bitmap.Width(), Bitmap.Height(), height).value_or(0);
  TCommandResult result = ResizeWorkingImage(width, height, filter);
  if (result.done) result = {QStringLiteral("Resized to %1 height").arg(height), ConfirmationMs};
  result.repaint = true;
  return result;
}
