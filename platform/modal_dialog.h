#pragma once

// Modal showing of dialogs, with a seam so that tests drive a dialog without
// a modal loop.

#include <Qt>

#include <functional>

class QDialog;

// While set, ShowModal shows the dialog and calls this in place of the modal
// loop; the hook works the dialog (keys, clicks) and closes it.
using TModalDialogHook = std::function<void(QDialog& dialog)>;
TModalDialogHook& ModalDialogHook();

// Shows dialog modally and returns its result (QDialog::Accepted or
// Rejected). A dialog that the hook leaves open is closed as rejected.
int ShowModal(QDialog& dialog);

// A fixed dialog border: a title and a close button, no minimise or maximise.
inline constexpr Qt::WindowFlags FixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
