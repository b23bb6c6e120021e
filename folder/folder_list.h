#pragma once

#include "platform/folder_enum.h"
#include "settings/settings.h"

#include <QString>

#include <vector>

// One listed file, as captured when its folder was read: the directory entry
// and the attribute data of its full path. Only fad.LastWriteTime (date key)
// and info.Size (size key) are used.
struct TFileInfo {
  TDirEntry info;
  TFileAttributeData fad;  // all zero when the attribute query failed
};

// One item of the folder list: the bare file name and the entry it owns.
struct TDirItem {
  QString Name;
  TFileInfo Info;
};

using TDirList = std::vector<TDirItem>;

// The folder list and its cursor, owned by the application object.
struct TFolderState {
  TDirList lsDir;     // the supported files of sLastDir, in the current order
  QString sLastDir;   // folder of the last scan, with its trailing '/'
  int iDirIndex = 0;  // position of the file on display in lsDir
  int iScanCount = 0; // how many times a folder was actually read
};

// Makes lsDir describe the folder of file, reading it only when that folder
// differs (case-sensitively) from sLastDir; a path without a folder part
// changes nothing. A folder that cannot be read leaves the list empty, but
// sLastDir is set all the same so it is not tried again.
void ScanFolder(TFolderState& state, const QString& file, const TSettings& settings);

// Sorts lsDir in the order of settings.SortType and settings.SortReversed,
// then points iDirIndex at the item named exactly like the name part of
// sCurrentFile (0 when there is none). Never touches the disk.
void SortFolderList(TFolderState& state, const QString& sCurrentFile, const TSettings& settings);

// The sort's comparison: -1, 0 or 1 as a goes before, with or after b.
// Name uses NaturalCompare, date fad.LastWriteTime (older first), size
// info.Size (smaller first); SortReversed exchanges a and b first; any other
// SortType makes every pair equal.
int CompareFolderItems(const TDirItem& a, const TDirItem& b, const TSettings& settings);

// The same comparison for two positions of a list.
int CompareFolderEntries(const TDirList& list, int index1, int index2, const TSettings& settings);
