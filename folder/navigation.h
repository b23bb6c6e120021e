#pragma once

#include "folder/folder_list.h"
#include "settings/settings.h"

#include <QString>

// Steps through the folder of file. Each returns a full path (the folder part
// of file followed by a listed name), or an empty string when there is
// nothing to show. They scan the folder first when it is not the one listed;
// with an empty list they fall back to reading the folder directly, in the
// file system's own order.

// The item after the cursor, wrapping round to the first.
QString GetNextFile(TFolderState& state, const QString& file, const TSettings& settings);
// The item before the cursor, wrapping round to the last.
QString GetPrevFile(TFolderState& state, const QString& file, const TSettings& settings);
// The paths the next count steps (+1 forward, -1 back) from position index
// of list would reach, as GetNextFile or GetPrevFile would after a scan,
// without moving anything: folder followed by the items after (before)
// index, wrapping round, nearest first. They stop before the item at index
// comes round again; none for an empty list.
QStringList PeekSteps(const TDirList& list, int index, const QString& folder, int step, int count);

QString GetFirstFile(TFolderState& state, const QString& file, const TSettings& settings);
QString GetLastFile(TFolderState& state, const QString& file, const TSettings& settings);

// Bookkeeping after the file at deletedPath was deleted and the next image
// shown: drops its item from the list and moves the cursor up one place
// (never below 0) so that it points at the image on display again.
void ForgetDeletedFile(TFolderState& state, const QString& deletedPath);
