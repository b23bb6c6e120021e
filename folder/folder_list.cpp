#include "folder/folder_list.h"

#include "folder/extra_formats.h"
#include "folder/file_path.h"
#include "platform/natural_compare.h"

#include <algorithm>
#include <numeric>

namespace {

int CompareKeys(qint64 a, qint64 b) { return (a > b) - (a < b); }

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_relaxed); }

void MakeNameKeys(TDirList& list) {
  QStringList names;
  names.reserve(static_cast<qsizetype>(list.size()));
  for (const TDirItem& item : list) names.push_back(item.Name);
  std::vector<std::string> keys = DefaultNaturalCollator().SortKeys(names);
  for (std::size_t i = 0; i < list.size(); ++i) list[i].NameKey = std::move(keys[i]);
}

}  // namespace

int CompareFolderItems(const TDirItem& a, const TDirItem& b, const TSettings& settings) {
  const TDirItem& first = settings.SortReversed ? b : a;
  const TDirItem& second = settings.SortReversed ? a : b;
  switch (settings.SortType) {
    case SortByName:
      if (first.NameKey.empty() || second.NameKey.empty()) return NaturalCompare(first.Name, second.Name);
      return CompareNameKeys(first.NameKey, first.Name, second.NameKey, second.Name);
    case SortByDate: return CompareKeys(first.Info.fad.LastWriteTime, second.Info.fad.LastWriteTime);
    case SortBySize: return CompareKeys(first.Info.info.Size, second.Info.info.Size);
    default: return 0;
  }
}

int CompareFolderEntries(const TDirList& list, int index1, int index2, const TSettings& settings) {
  return CompareFolderItems(list.at(index1), list.at(index2), settings);
}

bool ReadFolderList(const QString& folder, TDirList& list, const std::atomic<bool>* stop) {
  list.clear();
  std::vector<TDirEntry> entries;
  const bool bRead = EnumerateFolder(folder, entries, stop);  // a failure leaves entries empty
  for (TDirEntry& entry : entries) {
    if (Stopped(stop)) break;
    if (!IsListedExtension(ExtractFileExt(entry.Name))) continue;
    TDirItem item;
    item.Name = entry.Name;
    GetFileAttributeData(folder + entry.Name, item.Info.fad);
    item.Info.info = std::move(entry);
    list.push_back(std::move(item));
  }
  if (Stopped(stop)) return false;
  MakeNameKeys(list);
  return bRead;
}

void SortDirList(TDirList& list, const TSettings& settings) {
  if (settings.SortType == SortByName &&
      std::any_of(list.begin(), list.end(), [](const TDirItem& item) { return item.NameKey.empty(); }))
    MakeNameKeys(list);
  // Positions are sorted rather than the items, which are large to move.
  // Stable, so files with equal keys keep the folder's own order in either
  // direction instead of shuffling between sorts.
  std::vector<std::size_t> order(list.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&list, &settings](std::size_t a, std::size_t b) {
    return CompareFolderItems(list[a], list[b], settings) < 0;
  });
  TDirList sorted;
  sorted.reserve(list.size());
  for (std::size_t i : order) sorted.push_back(std::move(list[i]));
  list = std::move(sorted);
}

int FindListedName(const TDirList& list, const QString& name) {
  const auto found =
      std::find_if(list.begin(), list.end(), [&name](const TDirItem& item) { return item.Name == name; });
  return found == list.end() ? 0 : static_cast<int>(found - list.begin());
}

void SortFolderList(TFolderState& state, const QString& sCurrentFile, const TSettings& settings) {
  SortDirList(state.lsDir, settings);
  state.iDirIndex = FindListedName(state.lsDir, ExtractFileName(sCurrentFile));
}

void ScanFolder(TFolderState& state, const QString& file, const TSettings& settings) {
  const QString folder = ExtractFilePath(file);
  if (folder.isEmpty()) return;
  if (folder == state.sLastDir) return;

  state.sLastDir = folder;
  state.lsDir.clear();
  ++state.iScanCount;
  ReadFolderList(folder, state.lsDir);
  SortFolderList(state, file, settings);
}
