#pragma once

// Which application the desktop opens files of a MIME type with, read from
// the desktop's own files the way xdg-mime ("xdg-mime query default TYPE")
// reads them, so that a choice the user made in a file manager, the
// desktop's settings or with xdg-mime counts.

#include <QHash>
#include <QString>
#include <QStringList>

// The lists in the order they are consulted: the config folders
// ($XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS), then the applications folders of
// the data folders ($XDG_DATA_HOME, then $XDG_DATA_DIRS); in each folder the
// current desktops' DESKTOP-mimeapps.list before mimeapps.list.
QStringList MimeAppsListsInOrder();

// True when a desktop entry with this ID is installed in the applications
// folder of a data folder (a "vendor-app.desktop" also as vendor/app.desktop).
bool IsDesktopEntryInstalled(const QString& desktopId);

// type -> the desktop file ID the desktop opens it with, for each of types.
// The first list whose [Default Applications] has a line for the type, with
// an installed entry first on it, names it; when none does, the first entry
// for the type in defaults.list or mimeinfo.cache of the data folders. Types
// that nothing names are left out.
QHash<QString, QString> DesktopDefaults(const QStringList& types);

// Whether anything could show a web page: an application for text/html (a
// default in the lists, or any desktop entry that declares the type), the
// BROWSER variable, or one of the usual browser commands on the PATH. Errs on
// the side of yes.
bool CanShowWebPages();
