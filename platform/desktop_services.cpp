#include "platform/desktop_services.h"

#include "platform/application_title.h"
#include "platform/data_folder.h"
#include "platform/desktop_defaults.h"
#include "platform/message_box.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

void SetClipboardText(const QString& text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text, QClipboard::Clipboard);
}

std::function<bool(const QString& url)>& OpenUrlHook() {
  static std::function<bool(const QString&)> hook;
  return hook;
}

bool OpenUrlInBrowser(const QString& url) {
  if (OpenUrlHook()) return OpenUrlHook()(url);
  // The desktop's opener (xdg-open) starts whether or not it finds a browser.
  if (!CanShowWebPages()) return false;
  return QDesktopServices::openUrl(QUrl(url));
}

void ShowHelpPage(QWidget* parent, const QString& appDir) {
  const QString page = HelpPagePath(appDir);
  QString failure;
  if (!QFileInfo(page).isFile())
    failure = QStringLiteral("The help page could not be found: %1 is missing.");
  else if (!OpenUrlInBrowser(QUrl::fromLocalFile(page).toString()))
    failure = QStringLiteral("No web browser could be started to show the help page, %1.");
  if (!failure.isEmpty())
    ShowErrorBox(parent, failure.arg(QDir::toNativeSeparators(page)), QLatin1String(ApplicationTitle));
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
