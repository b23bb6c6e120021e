#pragma once

// Deleting a photo: into the freedesktop.org Trash of its file system, or,
// where there is none, for good.

#include <QString>

// The trash folder that takes the file at path: the home trash
// ($XDG_DATA_HOME/Trash) for a file on the home folder's file system, else
// $topdir/.Trash/$uid (when $topdir/.Trash is a real sticky folder) or
// $topdir/.Trash-$uid of the file's own file system. Empty when none of them
// can be used (a missing or unwritable place, another device than the
// file's). Creates nothing.
QString TrashFolderFor(const QString& path);

// Why the file at path can be neither moved to a Trash nor removed, as the
// end of a sentence ("its folder is on a read-only file system"); empty when
// it can. Both take the file out of its folder, which must therefore be
// writable by this user, on a file system mounted for writing.
QString WhyNotRemovable(const QString& path);

struct TDeleteResult {
  bool bDone = false;
  QString sError;  // why not, when !bDone
};

// Moves the file into TrashFolderFor(path) with its .trashinfo. The data
// folder is created first (0700) when the home trash is the one; a file that
// the move put anywhere but into that trash's files/ folder is moved back and
// the delete counts as failed.
TDeleteResult MoveToTrash(const QString& path);

// Whether trashedPath, absolute, lies in files/ of a trash folder that a
// file of oldFolder may go to, with its .trashinfo in that trash's info/.
bool IsInTrashFolderOf(const QString& trashedPath, const QString& oldFolder);

// Removes the file for good.
TDeleteResult DeletePermanently(const QString& path);
