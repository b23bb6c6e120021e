#pragma once

#include "platform/folder_enum.h"
#include "settings/settings.h"

#include <QString>

#include <atomic>
#include <string>
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
  // The name's collation key among the names of its list, made once when
  // the folder is read so that sorting by name never makes it again (see
  // TNaturalCollator::SortKeys). Empty until made.
  std::string NameKey{};
};

using TDirList = std::vector<TDirItem>;

// The folder list and its cursor, owned by the application object.
struct TFolderState {
  TDirList lsDir;       // the supported files of sLastDir, in the current order
  QString sLastDir;     // folder of the last scan, with its trailing '/'
  int iDirIndex = 0;    // position of the file on display in lsDir
  int iScanCount = 0;   // how many times a list was made from its folder
  int iAheadCount = 0;  // how many of those lists were read ahead of their use
};

// Reads the folder (with its trailing '/') as the folder list holds it: its
// supported files in the file system's order, each with its attribute data
// and name key. A folder that cannot be read gives an empty list and false.
// When stop is given and becomes true the reading ends early, returning
// false with a list that is not to be used.
bool ReadFolderList(const QString& folder, TDirList& list, const std::atomic<bool>* stop = nullptr);

// Makes lsDir describe the folder of file, reading it only when that folder
// differs (case-sensitively) from sLastDir; a path without a folder part
// changes nothing. A folder that cannot be read leaves the list empty, but
// sLastDir is set all the same so it is not tried again.
void ScanFolder(TFolderState& state, const QString& file, const TSettings& settings);

// Sorts the list in the order of settings.SortType and settings.SortReversed.
// Stable: items with equal keys keep their order. Makes the name keys first
// when an item lacks one. Never touches the disk.
void SortDirList(TDirList& list, const TSettings& settings);

// Sorts lsDir (SortDirList), then points iDirIndex at the item named exactly
// like the name part of sCurrentFile (0 when there is none).
void SortFolderList(TFolderState& state, const QString& sCurrentFile, const TSettings& settings);

// The index of the first item named exactly name, or 0 when there is none.
int FindListedName(const TDirList& list, const QString& name);

// The sort's comparison of two items of one list: -1, 0 or 1 as a goes
// before, with or after b. Name uses the natural order, date
// fad.LastWriteTime (older first), size info.Size (smaller first);
// SortReversed exchanges a and b first; any other SortType makes every pair
// equal.
int CompareFolderItems(const TDirItem& a, const TDirItem& b, const TSettings& settings);

// The same comparison for two positions of a list.
int CompareFolderEntries(const TDirList& list, int index1, int index2, const TSettings& settings);
