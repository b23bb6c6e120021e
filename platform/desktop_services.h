#pragma once

#include <QString>

#include <functional>

// The desktop services the viewer hands work to: the clipboard, the default
// browser and the system beep. Tests replace the browser and the beep
// through their hooks.
void SetClipboardText(const QString& text);

// Opens an address in the default browser; a failure is ignored.
void OpenUrlInBrowser(const QString& url);
std::function<void(const QString& url)>& OpenUrlHook();

// The default system sound.
void Beep();
std::function<void()>& BeepHook();
