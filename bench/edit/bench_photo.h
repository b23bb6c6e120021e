#pragma once

#include <FreeImage.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The 24-megapixel camera-like picture of the editing benchmarks and the
// private folder its files live in.

inline constexpr int BenchPhotoWidth = 6000, BenchPhotoHeight = 4000;

// Smooth shapes under grain: compresses like a camera's photo (about 10 MB
// at quality 90, 4:2:0). The caller unloads it.
FIBITMAP* PhotoLike();

// A private folder in /dev/shm where it exists (VELVANE_BENCH_DIR
// overrides), so that the figures compare the work, not the disk; removed
// with the object. Holds source.jpg, PhotoLike() at quality 90, 4:2:0.
class TBenchFiles {
public:
  explicit TBenchFiles(const std::string& prefix);
  ~TBenchFiles();
  TBenchFiles(const TBenchFiles&) = delete;
  TBenchFiles& operator=(const TBenchFiles&) = delete;
  std::string Path(const std::string& name) const { return (FFolder / name).string(); }

private:
  std::filesystem::path FFolder;
};

// Runs a program (looked up in PATH) with arguments and waits for it; the CPU
// seconds it took (user and system) when it exited with 0, nothing otherwise.
std::optional<double> RunProgram(const std::vector<std::string>& arguments);
