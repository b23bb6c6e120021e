#include "folder/folder_argument.h"

#include "folder/navigation.h"

#include <QFileInfo>

QString PictureToOpen(TFolderState& state, const QString& path, const TSettings& settings) {
  if (path.isEmpty() || !QFileInfo(path).isDir()) return path;
  // Inside the folder, so that its own entries are listed: "photos" and
  // "photos/" alike become "photos/<first>".
  const QString inside = path.endsWith(u'/') ? path : path + u'/';
  TFolderState listed = state;
  const QString first = GetFirstFile(listed, inside, settings);
  if (first.isEmpty()) return path;
  state = std::move(listed);
  return first;
}
