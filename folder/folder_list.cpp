#include "folder/folder_list.h"

#include "folder/file_path.h"
#include "folder/formats.h"
#include "platform/natural_compare.h"

#include <algorithm>
#include <numeric>

namespace {

int CompareKeys(qint64 a, qint64 b) { return (a > b) - (a < b); }

}  // namespace

int CompareFolderItems(const TDirItem& a, const TDirItem& b, const TSettings& settings) {
  const TDirItem& first = settings.SortReversed ? b : a;
  const TDirItem& second = settings.SortReversed ? a : b;
  switch (settings.SortType) {
    case SortByName:
      return NaturalCompare(first.Name, second.Name);
    case SortByDate:
      return CompareKeys(first.Info.fad.LastWriteTime, second.Info.fad.LastWriteTime);
    case SortBySize:
      return CompareKeys(first.Info.info.Size, second.Info.info.Size);
    default:
      return 0;
  }
}

int CompareFolderEntries(const TDirList& list, int index1, int index2, const TSettings& settings) {
  return CompareFolderItems(list.at(index1), list.at(index2), settings);
}

namespace {

// The order of CompareFolderItems by name, with each name's collation key
// made once instead of twice per comparison.
void SortByNameKeys(TDirList& list, bool bReversed) {
  const TNaturalCollator& collator = DefaultNaturalCollator();
  std::vector<TNaturalSortKey> keys;
  keys.reserve(list.size());
  for (const TDirItem& item : list) keys.push_back(collator.SortKey(item.Name));
  std::vector<std::size_t> order(list.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&keys, bReversed](std::size_t a, std::size_t b) {
    return (bReversed ? CompareSortKeys(keys[b], keys[a]) : CompareSortKeys(keys[a], keys[b])) < 0;
  });
  TDirList sorted;
  sorted.reserve(list.size());
  for (std::size_t i : order) sorted.push_back(std::move(list[i]));
  list = std::move(sorted);
}

}  // namespace

void SortFolderList(TFolderState& state, const QString& sCurrentFile, const TSettings& settings) {
  // Stable, so files with equal keys keep the folder's own order in either
  // direction instead of shuffling between sorts.
  if (settings.SortType == SortByName)
    SortByNameKeys(state.lsDir, settings.SortReversed);
  else
    std::stable_sort(state.lsDir.begin(), state.lsDir.end(),
                     [&settings](const TDirItem& a, const TDirItem& b) {
                       return CompareFolderItems(a, b, settings) < 0;
                     });

  state.iDirIndex = 0;
  const QString currentName = ExtractFileName(sCurrentFile);
  const auto found = std::find_if(state.lsDir.begin(), state.lsDir.end(),
                                  [&currentName](const TDirItem& item) { return item.Name == currentName; });
  if (found != state.lsDir.end()) state.iDirIndex = static_cast<int>(found - state.lsDir.begin());
}

void ScanFolder(TFolderState& state, const QString& file, const TSettings& settings) {
  const QString folder = ExtractFilePath(file);
  if (folder.isEmpty()) return;
  if (folder == state.sLastDir) return;

  state.sLastDir = folder;
  state.lsDir.clear();
  ++state.iScanCount;

  std::vector<TDirEntry> entries;
  EnumerateFolder(folder, entries);  // a failure leaves entries empty
  for (TDirEntry& entry : entries) {
    if (!IsSupportedExtension(ExtractFileExt(entry.Name))) continue;
    TDirItem item;
    item.Name = entry.Name;
    GetFileAttributeData(folder + entry.Name, item.Info.fad);
    item.Info.info = std::move(entry);
    state.lsDir.push_back(std::move(item));
  }

  SortFolderList(state, file, settings);
}
