#pragma once

#include <QIcon>
#include <QString>

// Tells the desktop which application the windows belong to: the desktop
// entry's name (Wayland's app id, the task bar's grouping) and the window
// icon, the installed theme icon or else the files shipped with the viewer.
void SetDesktopIdentity(const QString& appDir);
// The two halves: the name must be set before any window is made; the icon,
// whose theme lookup takes a while, may follow once the picture is shown.
void SetDesktopFileName();
void SetApplicationIcon(const QString& appDir);

// The application icon: from the icon theme when installed there, else the
// PNG files under the data folder's res/icons.
QIcon ApplicationIcon(const QString& appDir);
