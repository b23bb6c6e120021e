#include "platform/desktop_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

void SetClipboardText(const QString& text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text, QClipboard::Clipboard);
}

std::function<void(const QString& url)>& OpenUrlHook() {
  static std::function<void(const QString&)> hook;
  return hook;
}

void OpenUrlInBrowser(const QString& url) {
  if (OpenUrlHook()) {
    OpenUrlHook()(url);
    return;
  }
  QDesktopServices::openUrl(QUrl(url));
}

std::function<void()>& BeepHook() {
  static std::function<void()> hook;
  return hook;
}

void Beep() {
  if (BeepHook()) {
    BeepHook()();
    return;
  }
  QApplication::beep();
}
