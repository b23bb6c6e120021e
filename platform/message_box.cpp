#include "platform/message_box.h"

#include <QMessageBox>

TMessageBoxHooks& MessageBoxHooks() {
  static TMessageBoxHooks hooks;
  return hooks;
}

bool ConfirmOkCancel(QWidget* parent, const QString& text, const QString& caption) {
  if (MessageBoxHooks().confirm) return MessageBoxHooks().confirm(text, caption);
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

void ShowErrorBox(QWidget* parent, const QString& text, const QString& caption) {
  if (MessageBoxHooks().error) {
    MessageBoxHooks().error(text, caption);
    return;
  }
  QMessageBox::critical(parent, caption, text);
}
