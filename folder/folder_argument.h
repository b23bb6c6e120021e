#pragma once

#include "folder/folder_list.h"
#include "settings/settings.h"

#include <QString>

// What a path handed to the viewer as the picture to show (the command line,
// a drop on the window) opens. A folder opens its first picture in the sort
// order of settings, and the folder list then describes that folder with its
// cursor on that picture, so that the navigation commands walk it. Any other
// path, and a folder without a supported file, is returned unchanged and the
// list is left alone.
QString PictureToOpen(TFolderState& state, const QString& path, const TSettings& settings);
