// Rotate left and right, flip horizontally and vertically: the working image
// is turned or mirrored and the file on display rewritten in the same step.
#include "viewer/tfmain.h"

#include <QFile>
#include <QScopeGuard>

void Tfmain::AcRotateLeftExecute() { OrientPicture(ocRotateLeft); }
void Tfmain::AcRotateRightExecute() { OrientPicture(ocRotateRight); }
void Tfmain::AcFlipHorizontalExecute() { OrientPicture(ocFlipHorizontal); }
void Tfmain::AcFlipVerticalExecute() { OrientPicture(ocFlipVertical); }

void Tfmain::OrientPicture(TOrientCommand command) {
  const bool rotation = IsRotation(command);
  FIBITMAP* transformed = TransformPicture(FBitmap.Dib(), command);
  if (!transformed) {
    // Nothing is written: the file keeps its pixels and its orientation.
    FlashFailure(rotation ? QStringLiteral("The picture could not be rotated")
                          : QStringLiteral("The picture could not be flipped"));
    return;
  }
  // A rotation made a new bitmap; a flip mirrored the working image itself
  // and mirrors it back unless the file takes the new pixels.
  TFreeBitmap rotated(rotation ? transformed : nullptr);
  bool written = false;
  const auto restore = qScopeGuard([&] {
    if (!rotation && !written) TransformPicture(FBitmap.Dib(), command);
  });

  TOrientedWrite request;
  request.path = QFile::encodeName(FState.sCurrentFile).toStdString();
  request.picture = transformed;
  request.command = command;
  request.exifRotation = FState.Settings.ExifRotation;
  request.pictureEdited = bWorkingImageEdited;
  // Errors of the file itself (gone, unreadable, damaged metadata) escape to
  // the error box; nothing has been written then.
  const TOrientedResult result = WriteOrientedFile(request);
  if (!result.save.Ok()) {
    FlashSaveFailure(result.save);
    return;
  }
  written = true;
  if (rotation) FBitmap.Replace(rotated.Release());
  FBitmap.Touch();
  bWorkingImageEdited = false;  // the file now holds the working image
  Repaint();
}
