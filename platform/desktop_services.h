#pragma once

#include <QString>

#include <functional>

class QWidget;

// The desktop services the viewer hands work to: the clipboard, the default
// browser and the system beep. Tests replace the browser and the beep
// through their hooks.
void SetClipboardText(const QString& text);

// Opens an address in the default browser; false when no browser could be
// started.
bool OpenUrlInBrowser(const QString& url);
std::function<bool(const QString& url)>& OpenUrlHook();

// Opens the help page that ships with the viewer (HelpPagePath of appDir) in
// the default browser. When the page is missing or no browser can be
// started, an error box over parent says so.
void ShowHelpPage(QWidget* parent, const QString& appDir);

// The default system sound.
void Beep();
std::function<void()>& BeepHook();
