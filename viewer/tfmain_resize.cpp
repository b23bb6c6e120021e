// The resize commands: three fixed heights, a custom size from the dialog,
// and "Reload original". Each resize starts from the file and changes only
// the working image, unless the settings ask for the automatic save.
#include "edit/rescale_picture.h"
#include "edit/resize_size.h"
#include "edit/tfresizeto.h"
#include "viewer/tfmain.h"

#include <QLineEdit>

namespace {

constexpr int ConfirmationMs = 900;

QString SizeText(std::int64_t width, std::int64_t height) { return QStringLiteral("%1 x %2").arg(width).arg(height); }

}  // namespace

void Tfmain::SetResizeDialog(TfResizeTo* dialog) {
  fResizeTo = dialog;
  Action(TCommand::acResizeToCustom)->SetEnabled(dialog != nullptr);
}

bool Tfmain::ResizeWorkingImage(std::int64_t width, std::int64_t height) {
  const QString failed = QStringLiteral("The picture could not be resized");
  // A file that is no longer a picture leaves the previous one in memory,
  // which is not the file's picture to resize (nor to save in its place).
  if (!FBitmap.IsValid() || !bLastLoadReadFile) {
    FlashFailure(failed + QStringLiteral(": the file could not be read"));
    return false;
  }
  if (width <= 0 || height <= 0) {
    FlashFailure(failed + QStringLiteral(" to ") + SizeText(width, height));
    return false;
  }
  // Refused before anything is allocated, and the working image stays.
  if (!RescaleFitsInMemory(FBitmap.Dib(), width, height)) {
    FlashFailure(failed + QStringLiteral(": ") + SizeText(width, height) + QStringLiteral(" is too large"));
    return false;
  }
  FIBITMAP* dib = FBitmap.Release();
  const bool resized = RescalePicture(dib, int(width), int(height), FState.Settings.ResizeFilter);
  FBitmap.Assign(dib);
  if (!resized) {
    FlashFailure(failed);
    return false;
  }
  bWorkingImageEdited = true;
  return true;
}

// A resize that did not happen saves nothing: writing the unchanged picture
// would only re-encode the file.
void Tfmain::AutoSaveAfterResize() {
  if (FState.Settings.AutoSaveAfterResize) Action(TCommand::acSave)->Execute();
}

void Tfmain::ResizeToHeight(int height) {
  FlashMessage(QStringLiteral("Resized to %1 height").arg(height), ConfirmationMs);
  LoadImage(FState.sCurrentFile, false, false);
  // A file that cannot be read any more leaves no picture and no
  // proportions (height 0): ResizeWorkingImage says so.
  const std::int64_t width = WidthForHeight(FBitmap.Width(), FBitmap.Height(), height).value_or(0);
  const bool resized = ResizeWorkingImage(width, height);
  Repaint();
  if (resized) AutoSaveAfterResize();
}

void Tfmain::acResizeTo2160Execute() { ResizeToHeight(2160); }
void Tfmain::acResizeTo1080Execute() { ResizeToHeight(1080); }
void Tfmain::acResizeTo720Execute() { ResizeToHeight(720); }

void Tfmain::acResizeToCustomExecute() {
  if (!fResizeTo) return;
  if (!FState.bRememberResize) {
    fResizeTo->original_width = std::int32_t(FBitmap.Width());
    fResizeTo->original_height = std::int32_t(FBitmap.Height());
    if (fResizeTo->ShowModal() != QDialog::Accepted) return;
  }
  LoadImage(FState.sCurrentFile, false, false);
  // A box holding something other than an integer (pasted text) ends the
  // command here with the error box; the file has been reloaded unpainted.
  const std::int32_t height = StrToInt(fResizeTo->seHeight->text());
  const std::int32_t width = StrToInt(fResizeTo->seWidth->text());
  const bool resized = ResizeWorkingImage(width, height);
  Repaint();
  if (resized) AutoSaveAfterResize();
}

void Tfmain::acReloadOriginalExecute() {
  FlashMessage(QStringLiteral("Reloaded original"), ConfirmationMs);
  LoadImage(FState.sCurrentFile, true, true);
}
