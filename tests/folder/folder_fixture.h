#pragma once

#include "folder/folder_list.h"
#include "settings/settings.h"
#include "support/temp_folder.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Writes name with size bytes and, when given, a last-write time of
// 2020-01-01 UTC plus minutes; returns the full path.
inline QString MakeImage(const TempFolder& dir, const QString& name, int size = 1, int minutes = -1) {
  const QString path = dir.Write(name, QByteArray(size, 'x'));
  if (minutes >= 0) {
    QFile f(path);
    if (f.open(QIODevice::ReadWrite))
      f.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(60LL * minutes),
                    QFileDevice::FileModificationTime);
  }
  return path;
}

inline TSettings SortedBy(std::int32_t sortType, bool reversed = false) {
  TSettings settings;
  settings.SortType = sortType;
  settings.SortReversed = reversed;
  return settings;
}

inline QStringList ListedNames(const TFolderState& state) {
  QStringList names;
  for (const TDirItem& item : state.lsDir) names << item.Name;
  return names;
}
