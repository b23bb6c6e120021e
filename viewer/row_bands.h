#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs a job over the rows of a frame split into bands, one band per core:
// the calling thread takes the first band and helper threads the others,
// and Run returns when every band is done. The helpers are started on the
// first run that is worth splitting and kept, idle, until destruction.
// Only one thread may call Run at a time.
class TRowBands {
public:
  // threads: how many threads share a run, the caller's included; 0 for
  // one a core.
  explicit TRowBands(unsigned threads = 0);
  ~TRowBands();
  TRowBands(const TRowBands&) = delete;
  TRowBands& operator=(const TRowBands&) = delete;

  // Calls job(y0, y1) for bands that together cover first .. last, each
  // once. Fewer rows than minRows a band run on the caller alone.
  void Run(int first, int last, const std::function<void(int y0, int y1)>& job, int minRows = 64);

  unsigned Threads() const { return FThreads; }

private:
  void Helper(unsigned band);
  void Band(unsigned band, int& y0, int& y1) const;

  unsigned FThreads;
  std::vector<std::thread> FHelpers;
  std::mutex FMutex;
  std::condition_variable FWake;
  std::condition_variable FDone;
  // The run under way, guarded by FMutex.
  const std::function<void(int, int)>* FJob = nullptr;
  int FFirst = 0, FLast = 0;
  unsigned FBands = 0;
  std::uint64_t FRun = 0;  // counts runs, so that a helper sees each once
  unsigned FPending = 0;   // helpers' bands of this run not done yet
  bool FStop = false;
};
