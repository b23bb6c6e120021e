#pragma once

#include <QString>

#include <functional>

// The desktop services the viewer hands work to: the clipboard, the default
// browser and the system beep. Tests replace the browser through its hook.
void SetClipboardText(const QString& text);

// Opens an address in the default browser; a failure is ignored.
void OpenUrlInBrowser(const QString& url);
std::function<void(const QString& url)>& OpenUrlHook();

void Beep();
