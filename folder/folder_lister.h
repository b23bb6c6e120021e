#pragma once

#include "folder/folder_list.h"
#include "platform/folder_enum.h"
#include "settings/settings.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

// A folder list read ahead of its first use, with what shows whether it
// still holds.
struct TFolderListing {
  QString sFolder;            // as sLastDir would be: with its trailing '/'
  TFolderStamp Stamp;         // the folder as it was when the reading began
  std::int32_t SortType = 0;  // the order lsDir is in
  bool SortReversed = false;
  TDirList lsDir;  // what ScanFolder would have listed
};

// Reads a folder on a thread of its own, so that the first step through a
// big folder finds its list made instead of reading the folder then. One
// folder at a time: asking for another drops the one before. Every method is
// for one thread (the user-interface thread); only the reading runs on the
// lister's.
class TFolderLister {
public:
  // onDone runs on the lister's thread whenever a listing is finished; it is
  // never called once the listing was dropped or the lister is gone.
  explicit TFolderLister(std::function<void()> onDone = {});
  // Drops the listing under way without waiting for the end of its folder:
  // its thread stops at its next entry.
  ~TFolderLister();
  TFolderLister(const TFolderLister&) = delete;
  TFolderLister& operator=(const TFolderLister&) = delete;

  // Begins reading folder (with its trailing '/') in the order of settings,
  // unless that listing is already under way or finished. The reading waits
  // until the folder's times are settled (see TFolderStamp), and gives up
  // when they do not settle within a few seconds or the folder cannot be
  // examined.
  void Start(const QString& folder, const TSettings& settings);

  // The finished listing of folder in the order of settings; null while it
  // is under way, when it was not asked for, or when it was given up.
  const TFolderListing* Finished(const QString& folder, const TSettings& settings) const;

  // Hands over the finished listing, if any, and drops the listing.
  std::optional<TFolderListing> Take();

  // Drops the listing, finished or not.
  void Drop();

private:
  struct TJob;
  struct TRunning;
  bool Matches(const QString& folder, const TSettings& settings) const;
  void JoinFinished();

  std::function<void()> FOnDone;
  std::shared_ptr<TJob> FJob;      // the listing asked for last
  std::vector<TRunning> FRunning;  // threads not yet joined
};

// The first use of a folder list. When the folder of file is not the one
// listed and the lister has finished reading it in the order of settings,
// and the folder still has the stamp it had when that reading began (so no
// entry was added, removed or renamed), the listing becomes the list, with
// the cursor on file, exactly as ScanFolder would have made it; true then.
// Otherwise the listing is dropped and the state left for ScanFolder.
bool TakeListedAhead(TFolderState& state, const QString& file, const TSettings& settings, TFolderLister& lister);
