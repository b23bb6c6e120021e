#include "viewer/row_bands.h"

#include <algorithm>
#include <system_error>

TRowBands::TRowBands(unsigned threads)
    : FThreads(threads ? threads : std::max(1u, std::thread::hardware_concurrency())) {}

TRowBands::~TRowBands() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FStop = true;
  }
  FWake.notify_all();
  for (std::thread& helper : FHelpers) helper.join();
}

void TRowBands::Band(unsigned band, int& y0, int& y1) const {
  const long long rows = static_cast<long long>(FLast) - FFirst;
  y0 = static_cast<int>(FFirst + rows * band / FBands);
  y1 = static_cast<int>(FFirst + rows * (band + 1) / FBands);
}

void TRowBands::Run(int first, int last, const std::function<void(int, int)>& job, int minRows) {
  if (last <= first) return;
  const long long rows = static_cast<long long>(last) - first;
  const unsigned bands = static_cast<unsigned>(std::clamp<long long>(rows / std::max(1, minRows), 1, FThreads));
  if (bands == 1) {
    job(first, last);
    return;
  }
  // A helper that could not be started leaves its band to the caller.
  while (FHelpers.size() + 1 < FThreads) {
    const unsigned band = static_cast<unsigned>(FHelpers.size()) + 1;
    try {
      FHelpers.emplace_back([this, band] { Helper(band); });
    } catch (const std::system_error&) {
      FThreads = static_cast<unsigned>(FHelpers.size()) + 1;
      break;
    }
  }
  std::unique_lock<std::mutex> lock(FMutex);
  FJob = &job;
  FFirst = first, FLast = last;
  FBands = std::min(bands, FThreads);
  FPending = FBands - 1;
  ++FRun;
  int y0 = 0, y1 = 0;
  Band(0, y0, y1);
  lock.unlock();
  FWake.notify_all();
  job(y0, y1);
  lock.lock();
  FDone.wait(lock, [this] { return FPending == 0; });
  FJob = nullptr;
}

void TRowBands::Helper(unsigned band) {
  std::uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(FMutex);
  for (;;) {
    FWake.wait(lock, [&] { return FStop || FRun != seen; });
    if (FStop) return;
    seen = FRun;
    if (band >= FBands) continue;  // a run of fewer bands
    int y0 = 0, y1 = 0;
    Band(band, y0, y1);
    const std::function<void(int, int)>& job = *FJob;
    lock.unlock();
    job(y0, y1);
    lock.lock();
    if (--FPending == 0) FDone.notify_one();
  }
}
