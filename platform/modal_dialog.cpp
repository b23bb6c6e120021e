#include "platform/modal_dialog.h"

#include <QDialog>

TModalDialogHook& ModalDialogHook() {
  static TModalDialogHook hook;
  return hook;
}

int ShowModal(QDialog& dialog) {
  if (!ModalDialogHook()) return dialog.exec();
  dialog.setResult(QDialog::Rejected);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
  // A copy: the hook may set another hook for a dialog it opens in turn.
  const TModalDialogHook hook = ModalDialogHook();
  hook(dialog);
  if (dialog.isVisible()) dialog.reject();
  return dialog.result();
}
