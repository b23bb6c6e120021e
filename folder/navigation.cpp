#include "folder/navigation.h"

#include "folder/extra_formats.h"
#include "folder/file_path.h"
#include "platform/folder_enum.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

bool IsSupportedName(const QString& name) { return IsListedExtension(ExtractFileExt(name)); }

std::vector<TDirEntry> ReadFolder(const QString& folder) {
  std::vector<TDirEntry> entries;
  EnumerateFolder(folder, entries);
  return entries;
}

QString ItemPath(const TFolderState& state, const QString& folder) {
  return folder + state.lsDir[static_cast<size_t>(state.iDirIndex)].Name;
}

int ItemCount(const TFolderState& state) { return static_cast<int>(state.lsDir.size()); }

// The position a step from index reaches in a list of count > 0 items,
// wrapping round at both ends. 64-bit and normalised, so that a cursor left
// out of range cannot index outside the list.
int StepIndex(int index, int count, int step) {
  if (step < 0) {
    const int prev = index - 1;
    return (prev < 0 || prev >= count) ? count - 1 : prev;
  }
  const qint64 next = (static_cast<qint64>(index) + 1) % count;
  return static_cast<int>(next < 0 ? next + count : next);
}

}  // namespace

QString GetNextFile(TFolderState& state, const QString& file, const TSettings& settings) {
  const QString folder = ExtractFilePath(file);
  if (folder.isEmpty()) return {};
  ScanFolder(state, file, settings);

  if (const int count = ItemCount(state); count > 0) {
    state.iDirIndex = StepIndex(state.iDirIndex, count, 1);
    return ItemPath(state, folder);
  }

  bool passed = false;
  for (const TDirEntry& entry : ReadFolder(folder)) {
    if (passed && IsSupportedName(entry.Name)) return folder + entry.Name;
    if (folder + entry.Name == file) passed = true;
  }
  return {};
}

QString GetPrevFile(TFolderState& state, const QString& file, const TSettings& settings) {
  const QString folder = ExtractFilePath(file);
  if (folder.isEmpty()) return {};
  ScanFolder(state, file, settings);

  if (const int count = ItemCount(state); count > 0) {
    state.iDirIndex = StepIndex(state.iDirIndex, count, -1);
    return ItemPath(state, folder);
  }

  QString lastSupported;
  for (const TDirEntry& entry : ReadFolder(folder)) {
    if (folder + entry.Name == file) return lastSupported;
    if (IsSupportedName(entry.Name)) lastSupported = folder + entry.Name;
  }
  return {};
}

QStringList PeekSteps(const TDirList& list, int index, const QString& folder, int step, int count) {
  QStringList paths;
  const int size = static_cast<int>(list.size());
  // index may lie outside the list (a file no longer listed): at most every
  // item once then.
  for (int at = index, n = 0; n < std::min(count, size); ++n) {
    at = StepIndex(at, size, step);
    if (at == index) break;
    paths.append(folder + list[static_cast<size_t>(at)].Name);
  }
  return paths;
}

QString GetFirstFile(TFolderState& state, const QString& file, const TSettings& settings) {
  const QString folder = ExtractFilePath(file);
  if (folder.isEmpty()) return {};
  ScanFolder(state, file, settings);

  if (!state.lsDir.empty()) {
    state.iDirIndex = 0;
    return ItemPath(state, folder);
  }

  for (const TDirEntry& entry : ReadFolder(folder))
    if (IsSupportedName(entry.Name)) return folder + entry.Name;
  return {};
}

QString GetLastFile(TFolderState& state, const QString& file, const TSettings& settings) {
  const QString folder = ExtractFilePath(file);
  if (folder.isEmpty()) return {};
  ScanFolder(state, file, settings);

  if (const int count = ItemCount(state); count > 0) {
    state.iDirIndex = count - 1;
    return ItemPath(state, folder);
  }

  QString lastSupported;
  for (const TDirEntry& entry : ReadFolder(folder))
    if (IsSupportedName(entry.Name)) lastSupported = folder + entry.Name;
  return lastSupported;
}

void ForgetDeletedFile(TFolderState& state, const QString& deletedPath) {
  const QString name = ExtractFileName(deletedPath);
  TDirList& list = state.lsDir;

  // On a case-sensitive file system "a.jpg" and "A.jpg" are two files, so
  // the item spelt exactly like the deleted file goes first; failing that,
  // the last item equal to it apart from ASCII case.
  auto victim = list.end();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (it->Name == name) {
      victim = std::prev(it.base());
      break;
    }
    if (victim == list.end() && SameTextAscii(it->Name, name)) victim = std::prev(it.base());
  }
  if (victim != list.end()) list.erase(victim);

  state.iDirIndex = std::max(state.iDirIndex, 1) - 1;
}
