// The resize commands: three fixed heights, a custom size from the dialog,
// and "Reload original". Each resize starts from the file and changes only
// the working image, unless the settings ask for the automatic save.
#include "edit/resize_size.h"
#include "edit/tfresizeto.h"
#include "viewer/tfmain.h"

#include <QLineEdit>

void Tfmain::SetResizeDialog(TfResizeTo* dialog) {
  fResizeTo = dialog;
  Action(TCommand::acResizeToCustom)->SetEnabled(dialog != nullptr);
}

// A resize that did not happen saves nothing: writing the unchanged picture
// would only re-encode the file.
void Tfmain::AutoSaveAfterResize() {
  if (FState.Settings.AutoSaveAfterResize) Action(TCommand::acSave)->Execute();
}

void Tfmain::ResizeToHeight(int height) {
  const TCommandResult result = FDocument.ResizeToHeight(FState.sCurrentFile, height, FState.Settings.ResizeFilter);
  ShowResult(result);
  if (result.done) AutoSaveAfterResize();
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
  TCommandResult result = FDocument.ResizeWorkingImage(width, height, FState.Settings.ResizeFilter);
  result.repaint = true;
  ShowResult(result);
  if (result.done) AutoSaveAfterResize();
}

void Tfmain::acReloadOriginalExecute() {
  FlashMessage(QStringLiteral("Reloaded original"), ConfirmationMs);
  LoadImage(FState.sCurrentFile, true, true);
}
