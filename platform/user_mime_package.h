#pragma once

// The viewer's MIME package in the user's MIME database. Without it, a viewer
// that runs from its build folder or an unpacked folder declares types that
// the desktop does not know (Koala, Dr. Halo, JPEG XR ...): files of those
// formats read as application/octet-stream and never reach the viewer.

#include <QString>

class TRegistry;

// $XDG_DATA_HOME/mime (~/.local/share/mime when unset).
QString UserMimeFolder();

// True when the package named fileName is in the packages folder of the
// user's or a system MIME database ($XDG_DATA_HOME, $XDG_DATA_DIRS).
bool IsMimePackageKnown(const QString& fileName);

// While bWanted, installs package into the user's database when no database
// has it (and keeps a copy it installed up to date); once not, removes the
// copy it installed, with the database folder when the viewer made it and
// nothing else is in it. What the viewer installed is flagged in reg, which
// has the viewer's association key open, before the file appears. Returns
// false with the path that could not be written in failed; bChanged tells
// that the user's database must be updated.
bool SyncUserMimePackage(const QString& package, bool bWanted, TRegistry& reg, QString& failed, bool& bChanged);

// Rebuilds the user's MIME database from its packages (update-mime-database),
// when the tool is there.
void UpdateUserMimeDatabase();
