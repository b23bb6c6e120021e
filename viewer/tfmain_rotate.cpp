// Rotate left and right, flip horizontally and vertically: the working image
// is turned or mirrored and the file on display rewritten in the same step.
#include "viewer/image_loader.h"
#include "viewer/tfmain.h"
#include "viewer/worker_access.h"

#include <QFile>

void Tfmain::AcRotateLeftExecute() { OrientPicture(ocRotateLeft); }
void Tfmain::AcRotateRightExecute() { OrientPicture(ocRotateRight); }
void Tfmain::AcFlipHorizontalExecute() { OrientPicture(ocFlipHorizontal); }
void Tfmain::AcFlipVerticalExecute() { OrientPicture(ocFlipVertical); }

void Tfmain::OrientPicture(TOrientCommand command) {
  const bool rotation = IsRotation(command);
  const QString refused = rotation ? QStringLiteral("The picture could not be rotated")
                                   : QStringLiteral("The picture could not be flipped");
  if (!FBitmap.IsValid()) {
    FlashFailure(refused);
    return;
  }
  // A file that is no longer a picture left the previous one on screen,
  // which is not the file's picture to write in its place.
  if (!bLastLoadReadFile) {
    FlashFailure(refused + QStringLiteral(": the file could not be read"));
    return;
  }
  // The working image is turned when the write needs it, or while the
  // worker checks the new file, into a new bitmap that replaces it only
  // when the screen keeps it.
  TFreeBitmap turned;
  const auto turn = [&]() -> FIBITMAP* {
    if (!turned) turned = TransformPicture(FBitmap.Dib(), command);
    return turned.Dib();
  };

  const std::string path = QFile::encodeName(FState.sCurrentFile).toStdString();
  TWorkerShownFile shown(DecoderPath(FState.sCurrentFile), LoadFlags(FState.Settings.ExifRotation));
  TWorkerChecker checker;
  TOrientedWrite request;
  request.path = path;
  request.command = command;
  request.exifRotation = FState.Settings.ExifRotation;
  request.pictureEdited = bWorkingImageEdited;
  request.workingImage = FBitmap.Dib();
  // The format the content has now (a Save may have changed it since the load).
  request.fileFormat = IdentifyReadableFormat(FState.sCurrentFile);
  request.pictureConverted = FFileFacts.Type != FreeImage_GetImageType(FBitmap.Dib()) ||
                             FFileFacts.Bpp != FBitmap.BPP();
  request.fileHadAlpha = HasAlpha(FFileFacts);
  request.turnWorkingImage = turn;
  request.shownFile = &shown;
  request.checker = &checker;
  // Errors of the file itself (gone, unreadable, damaged metadata) escape to
  // the error box; nothing has been written then.
  const TOrientedResult result = WriteOrientedFile(request);

  const bool screenOnly = TurnsOnScreenOnly(result.save);
  if (result.save.Failure == TSaveFailure::CannotTurn || ((result.save.Ok() || screenOnly) && !turn())) {
    FlashFailure(refused);
    return;
  }
  if (!result.save.Ok() && !screenOnly) {
    FlashSaveFailure(result.save);
    return;
  }
  FBitmap.Replace(turned.Release());
  FBitmap.Touch();
  // The file holds the working image now, or does not hold what the screen
  // shows: the picture was turned on the screen only.
  bWorkingImageEdited = !result.save.Ok();
  Repaint();
  if (screenOnly) FlashSaveFailure(result.save);
}
