// The document's commands that write: rotate and flip (the working image and
// the file at once), Save, Save as and the favicon.
#include "edit/rescale_picture.h"
#include "viewer/image_loader.h"
#include "viewer/picture_document.h"
#include "viewer/worker_access.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int FaviconSize = 32;

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// FreeImage turns only JPEG pictures upright by their EXIF orientation.
bool TurnedUprightOnLoading(bool exifRotation, const TPictureFacts& file) {
  return exifRotation && file.Format == FIF_JPEG;
}

bool SameFile(const QString& a, const QString& b) {
  const QString canonical = QFileInfo(a).canonicalFilePath();
  return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

TCommandResult Failure(const QString& text) { return {text, FailureMs, false, false, false}; }

TCommandResult SaveFailure(const TSaveResult& result) {
  return Failure(QStringLiteral("Nothing was written: ") + QString::fromStdString(SaveFailureText(result)));
}

}  // namespace

TCommandResult TPictureDocument::Orient(const QString& path, TOrientCommand command, bool exifRotation) {
  const bool rotation = IsRotation(command);
  const QString refused = rotation ? QStringLiteral("The picture could not be rotated")
                                   : QStringLiteral("The picture could not be flipped");
  if (!Bitmap.IsValid()) return Failure(refused);
  // A file that is no longer a picture left the previous one on screen,
  // which is not the file's picture to write in its place.
  if (!bLastLoadReadFile) return Failure(refused + QStringLiteral(": the file could not be read"));
  // The working image is turned when the write needs it, or while the
  // worker checks the new file, into a new bitmap that replaces it only
  // when the screen keeps it.
  TFreeBitmap turned;
  const auto turn = [&]() -> FIBITMAP* {
    if (!turned) turned = TransformPicture(Bitmap.Dib(), command);
    return turned.Dib();
  };

  TWorkerShownFile shown(DecoderPath(path), LoadFlags(exifRotation));
  TWorkerChecker checker;
  TOrientedWrite request;
  request.path = NativePath(path);
  request.command = command;
  request.exifRotation = exifRotation;
  request.pictureEdited = bWorkingImageEdited;
  request.workingImage = Bitmap.Dib();
  // The format the content has now (a Save may have changed it since the load).
  request.fileFormat = IdentifyReadableFormat(path);
  request.pictureConverted = FileFacts.Type != FreeImage_GetImageType(Bitmap.Dib()) || FileFacts.Bpp != Bitmap.BPP();
  request.fileHadAlpha = HasAlpha(FileFacts);
  request.turnWorkingImage = turn;
  request.shownFile = &shown;
  request.checker = &checker;
  const TOrientedResult result = WriteOrientedFile(request);

  const bool screenOnly = TurnsOnScreenOnly(result.save);
  if (result.save.Failure == TSaveFailure::CannotTurn || ((result.save.Ok() || screenOnly) && !turn()))
    return Failure(refused);
  if (!result.save.Ok() && !screenOnly) return SaveFailure(result.save);
  Bitmap.Replace(turned.Release());
  Bitmap.Touch();
  // The file holds the working image now, or does not hold what the screen
  // shows: the picture was turned on the screen only.
  bWorkingImageEdited = !result.save.Ok();
  TCommandResult shownResult = screenOnly ? SaveFailure(result.save) : TCommandResult{};
  shownResult.repaint = true;
  return shownResult;
}

TSaveRequest TPictureDocument::SaveRequest(const QString& path, const QString& target, bool exifRotation) const {
  TSaveRequest request;
  request.Path = NativePath(target);
  request.Picture = Bitmap.Dib();
  // A picture turned upright on loading is written with orientation 1.
  request.UprightPixels = bLastLoadReadFile && TurnedUprightOnLoading(exifRotation, FileFacts);
  if (bLastLoadReadFile) {
    request.SourcePath = NativePath(path);
    request.SourceFormat = IdentifyReadableFormat(path);
    request.SourceHadAlpha = HasAlpha(FileFacts);
  }
  request.ReplacesSource = SameFile(target, path);
  request.PictureEdited = bWorkingImageEdited;
  return request;
}

TCommandResult TPictureDocument::Save(const QString& path, bool exifRotation) {
  const TCommandResult saved{QStringLiteral("Saved"), ConfirmationMs};
  // The file already holds exactly the picture on display.
  if (Bitmap.IsValid() && !bWorkingImageEdited) return saved;
  TWorkerShownFile shown(DecoderPath(path), LoadFlags(exifRotation));
  TWorkerChecker checker;
  TSaveRequest request = SaveRequest(path, path, exifRotation);
  request.ReplacesSource = true;
  request.Shown = &shown;
  request.Checker = &checker;
  const TSaveResult result = SavePicture(request);
  if (!result.Ok()) return SaveFailure(result);
  bWorkingImageEdited = false;
  return saved;
}

TCommandResult TPictureDocument::SaveAs(const QString& path, const QString& target, bool exifRotation) {
  TWorkerShownFile shown(DecoderPath(path), LoadFlags(exifRotation));
  TWorkerChecker checker;
  TSaveRequest request = SaveRequest(path, target, exifRotation);
  // Onto the file on display, an unedited picture is already there.
  if (request.ReplacesSource && !request.PictureEdited && Bitmap.IsValid()) return {};
  request.Shown = &shown;
  request.Checker = &checker;
  const TSaveResult result = SavePicture(request);
  if (!result.Ok()) return SaveFailure(result);
  if (request.ReplacesSource) bWorkingImageEdited = false;
  return {};
}

TCommandResult TPictureDocument::SaveFavicon(const QString& target, const TSettings& settings) {
  if (!Bitmap.IsValid()) return Failure(QStringLiteral("Nothing was written: there is no picture"));
  FIBITMAP* dib = Bitmap.Release();
  const bool scaled = RescalePicture(dib, FaviconSize, FaviconSize, settings.ResizeFilter);
  Bitmap.Assign(dib);
  // A picture the rescale refused is not written at its full size.
  if (!scaled) return Failure(QStringLiteral("Nothing was written: the picture could not be scaled to 32 x 32"));
  TWorkerChecker checker;
  TSaveRequest request;
  request.Path = NativePath(target);
  request.Picture = Bitmap.Dib();
  request.UprightPixels = bLastLoadReadFile && TurnedUprightOnLoading(settings.ExifRotation, FileFacts);
  request.Checker = &checker;
  const TSaveResult result = SavePicture(request);
  if (!result.Ok()) return SaveFailure(result);
  return {};
}
