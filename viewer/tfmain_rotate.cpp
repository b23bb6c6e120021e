// Rotate left and right, flip horizontally and vertically: the document
// turns or mirrors the working image and rewrites the file in the same step.
#include "viewer/tfmain.h"

void Tfmain::AcRotateLeftExecute() { OrientPicture(ocRotateLeft); }
void Tfmain::AcRotateRightExecute() { OrientPicture(ocRotateRight); }
void Tfmain::AcFlipHorizontalExecute() { OrientPicture(ocFlipHorizontal); }
void Tfmain::AcFlipVerticalExecute() { OrientPicture(ocFlipVertical); }

void Tfmain::OrientPicture(TOrientCommand command) {
  ShowResult(FDocument.Orient(FState.sCurrentFile, command, FState.Settings.ExifRotation));
}
