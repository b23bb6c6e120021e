#include "folder/folder_lister.h"

#include "folder/file_path.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace {

// How long a listing waits for the folder's times to settle, in steps.
constexpr auto SettleStep = std::chrono::milliseconds(100);
constexpr int SettleSteps = 50;
// How long the lister's end waits for stopped readings before it leaves
// them to finish on their own (a reading stuck in the file system).
constexpr auto StopWait = std::chrono::milliseconds(250);

}  // namespace

struct TFolderLister::TJob {
  QString Folder;
  std::int32_t SortType = 0;
  bool SortReversed = false;
  std::function<void()> OnDone;

  std::atomic<bool> bStop{false};
  std::mutex Mutex;
  std::condition_variable Changed;
  bool bFinished = false;                // guarded by Mutex
  std::optional<TFolderListing> Result;  // guarded by Mutex until bFinished

  void Stop() {
    {
      const std::lock_guard lock(Mutex);
      bStop = true;
    }
    Changed.notify_all();
  }

  // Waits for the folder's times to settle; false when they do not, the
  // folder cannot be examined, or the job is stopped.
  bool WaitForSettledStamp(TFolderStamp& stamp) {
    for (int step = 0; step < SettleSteps; ++step) {
      if (!ReadFolderStamp(Folder, stamp)) return false;
      if (stamp.bSettled) return true;
      std::unique_lock lock(Mutex);
      if (Changed.wait_for(lock, SettleStep, [this] { return bStop.load(); })) return false;
    }
    return false;
  }

  void Run() {
    TFolderListing listing;
    listing.sFolder = Folder;
    listing.SortType = SortType;
    listing.SortReversed = SortReversed;
    bool bDone = WaitForSettledStamp(listing.Stamp);
    if (bDone) {
      ReadFolderList(Folder, listing.lsDir, &bStop);  // a folder that cannot be read lists empty, as a scan would
      TSettings order;
      order.SortType = SortType;
      order.SortReversed = SortReversed;
      if (!bStop) SortDirList(listing.lsDir, order);
    }
    {
      const std::lock_guard lock(Mutex);
      bDone = bDone && !bStop;
      if (bDone) Result = std::move(listing);
      bFinished = true;
      // Under the lock: once Stop() returned, no call comes.
      if (bDone && OnDone) OnDone();
    }
    Changed.notify_all();
  }
};

struct TFolderLister::TRunning {
  std::shared_ptr<TJob> Job;
  std::thread Thread;
};

TFolderLister::TFolderLister(std::function<void()> onDone) : FOnDone(std::move(onDone)) {}

TFolderLister::~TFolderLister() {
  Drop();
  const auto deadline = std::chrono::steady_clock::now() + StopWait;
  for (TRunning& running : FRunning) {
    TJob& job = *running.Job;
    std::unique_lock lock(job.Mutex);
    const bool bFinished = job.Changed.wait_until(lock, deadline, [&job] { return job.bFinished; });
    lock.unlock();
    // The thread holds its own share of the job, so it may outlive us.
    if (bFinished)
      running.Thread.join();
    else
      running.Thread.detach();
  }
}

bool TFolderLister::Matches(const QString& folder, const TSettings& settings) const {
  return FJob && FJob->Folder == folder && FJob->SortType == settings.SortType &&
         FJob->SortReversed == settings.SortReversed;
}

void TFolderLister::Start(const QString& folder, const TSettings& settings) {
  if (Matches(folder, settings)) return;
  Drop();
  JoinFinished();
  auto job = std::make_shared<TJob>();
  job->Folder = folder;
  job->SortType = settings.SortType;
  job->SortReversed = settings.SortReversed;
  job->OnDone = FOnDone;
  std::thread thread;
  try {
    thread = std::thread([job] { job->Run(); });
  } catch (const std::system_error&) {
    return;  // no thread to be had: the first step reads the folder itself
  }
  FJob = job;
  FRunning.push_back(TRunning{job, std::move(thread)});
}

const TFolderListing* TFolderLister::Finished(const QString& folder, const TSettings& settings) const {
  if (!Matches(folder, settings)) return nullptr;
  const std::lock_guard lock(FJob->Mutex);
  // Once finished, the thread no longer touches the result.
  return FJob->bFinished && FJob->Result ? &*FJob->Result : nullptr;
}

std::optional<TFolderListing> TFolderLister::Take() {
  std::optional<TFolderListing> listing;
  if (FJob) {
    const std::lock_guard lock(FJob->Mutex);
    if (FJob->bFinished) listing = std::move(FJob->Result);
  }
  Drop();
  return listing;
}

void TFolderLister::Drop() {
  if (!FJob) return;
  FJob->Stop();
  FJob.reset();
}

void TFolderLister::JoinFinished() {
  std::erase_if(FRunning, [](TRunning& running) {
    {
      const std::lock_guard lock(running.Job->Mutex);
      if (!running.Job->bFinished) return false;
    }
    running.Thread.join();
    return true;
  });
}

bool TakeListedAhead(TFolderState& state, const QString& file, const TSettings& settings, TFolderLister& lister) {
  const QString folder = ExtractFilePath(file);
  if (folder.isEmpty() || folder == state.sLastDir) return false;
  if (!lister.Finished(folder, settings)) {
    lister.Drop();
    return false;
  }
  std::optional<TFolderListing> listing = lister.Take();
  TFolderStamp now;
  if (!ReadFolderStamp(folder, now) || !now.SameFolderState(listing->Stamp)) return false;

  state.sLastDir = folder;
  state.lsDir = std::move(listing->lsDir);
  ++state.iScanCount;
  ++state.iAheadCount;
  state.iDirIndex = FindListedName(state.lsDir, ExtractFileName(file));
  return true;
}
