#pragma once

// Carries the viewer's file associations to the desktop (freedesktop.org
// "Association between MIME types and applications"): the viewer's desktop
// entry in the user's applications folder and its place as the default
// application in $XDG_CONFIG_HOME/mimeapps.list.
//
// Whenever the viewer puts itself first for a type, the type's line as it was
// (or the fact that there was none) is kept in the registry under
// MimeAppsBackupKey, replacing a line kept before: a line that no longer
// starts with the viewer is a later choice of the user's. When the viewer
// gives the type up while still first, that line comes back; when it is no
// longer first, only its ID leaves the line. Every other byte of
// mimeapps.list stays as it was.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

inline const QString MimeAppsBackupKey = QStringLiteral("\\SOFTWARE\\Norquill\\Velvane\\MimeApps");

// What the registry says the desktop should show.
struct TDesktopAssociations {
  QString sExecutable;         // the program of the open command; empty when no format is associated
  QStringList SupportedTypes;  // every type of every supported extension, declared by the entry
  QStringList HeldTypes;       // the types whose extensions the registry gives to the viewer
  QString sMimePackage;        // the viewer's MIME package, for a MIME database that lacks it
};

// A desktop-specific list that names another default for a type, which wins
// over mimeapps.list on that desktop.
struct TDesktopOverride {
  QString sFile;
  QString sType;
};

struct TDesktopSyncResult {
  bool bDone = false;                 // the entry and mimeapps.list now say what the registry says
  QString sFailed;                    // when not done: the first file or folder that could not be written
  bool bLockBusy = false;             // when not done: another viewer held the lock all the while
  QList<TDesktopOverride> Overrides;  // among the held types
};

// $XDG_CONFIG_HOME/mimeapps.list (~/.config when unset).
QString MimeAppsListPath();

// The desktops named by XDG_CURRENT_DESKTOP, lower case, in order.
QStringList CurrentDesktops();

// The held types for which $XDG_CONFIG_HOME/<desktop>-mimeapps.list of a
// current desktop names a default other than the viewer.
QList<TDesktopOverride> DesktopOverrides(const QStringList& types);

// Writes or removes the desktop entry and reconciles mimeapps.list with what
// wanted returns, under a lock shared by the viewer's processes; while a type
// is held, the MIME package goes into the user's MIME database when no
// database has it (user_mime_package.h). wanted runs
// under the lock, so the last of two viewers that sync at once sees the
// registry with both their changes. The list is replaced atomically; one that
// is not a regular readable file is left alone.
TDesktopSyncResult SyncDesktopAssociations(const std::function<TDesktopAssociations()>& wanted);

// Runs a tool that rebuilds one of the desktop's caches (program args...
// folder), quietly and for at most a few seconds; a missing tool or folder
// does nothing.
void RunDesktopTool(const QString& program, QStringList args, const QString& folder);

// Lets the desktop's caches catch up (update-desktop-database on the user's
// applications folder) when the tools are there; a missing or failing tool
// changes nothing.
void RefreshDesktopCaches();
