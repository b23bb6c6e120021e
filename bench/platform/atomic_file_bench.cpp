// Replacing a 20 MB photo-sized file through TAtomicFile, against the bare
// replacement it is built on (write a temporary file, flush, rename, flush
// the folder) on the same bytes in the same run: in an empty folder, in a
// folder of 10,000 photos (the scan for leftovers), with extended
// attributes and an ACL to carry, and for a file with two names (rewritten
// in place, with a copy of the old content kept meanwhile).
//
// The folder is VELVANE_BENCH_DIR, /dev/shm by default: in memory the
// figures show our own work rather than the disk's flushes.
#include "platform/atomic_file.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t PhotoSize = 20'000'000;

const std::string& Content() {
  static const std::string content = [] {
    std::string bytes(PhotoSize, '\0');
    uint32_t seed = 1;
    for (char& c : bytes) {
      seed = seed * 1664525 + 1013904223;
      c = char(seed >> 24);
    }
    return bytes;
  }();
  return content;
}

std::string NewFolder() {
  const char* base = std::getenv("VELVANE_BENCH_DIR");
  std::string templ = std::string(base ? base : "/dev/shm") + "/velvane-bench-XXXXXX";
  if (!::mkdtemp(templ.data())) std::abort();
  return templ;
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::span<const uint8_t> Bytes() { return {reinterpret_cast<const uint8_t*>(Content().data()), Content().size()}; }

void BareReplacement(const std::string& folder, const std::string& target) {
  std::string temporary = folder + "/.bare-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0 || ::write(fd, Content().data(), Content().size()) != ssize_t(Content().size()) || ::fchmod(fd, 0644) ||
      ::fsync(fd) || ::close(fd) || ::rename(temporary.c_str(), target.c_str()))
    std::abort();
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ::fsync(dir);
  ::close(dir);
}

enum Setting { Bare, Plain, CrowdedFolder, WithAttributes, TwoNames };

void BM_Replace(benchmark::State& state, Setting setting) {
  const std::string folder = NewFolder(), target = folder + "/photo.jpg";
  WriteFile(target, Content());
  if (setting == CrowdedFolder)
    for (int i = 0; i < 10000; ++i) WriteFile(folder + "/IMG_" + std::to_string(i) + ".jpg", {});
  if (setting == WithAttributes) {
    ::setxattr(target.c_str(), "user.xdg.tags", "holiday", 7, 0);
    if (std::system(("setfacl -m u:nobody:r " + target).c_str()) != 0) state.SkipWithError("setfacl failed");
  }
  if (setting == TwoNames) ::link(target.c_str(), (folder + "/same.jpg").c_str());
  for (auto _ : state) {
    if (setting == Bare)
      BareReplacement(folder, target);
    else if (!ReplaceFileAtomically(target, Bytes()))
      state.SkipWithError("the replacement failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(PhotoSize));
  fs::remove_all(folder);
}

#define REPLACE_BENCHMARK(name, setting)       \
  BENCHMARK_CAPTURE(BM_Replace, name, setting) \
      ->Unit(benchmark::kMillisecond)          \
      ->MinTime(1.0)                           \
      ->Repetitions(5)                         \
      ->ReportAggregatesOnly(true)

REPLACE_BENCHMARK(bare_rename, Bare);
REPLACE_BENCHMARK(empty_folder, Plain);
REPLACE_BENCHMARK(folder_of_10000, CrowdedFolder);
REPLACE_BENCHMARK(attributes_and_acl, WithAttributes);
REPLACE_BENCHMARK(two_names_in_place, TwoNames);

}  // namespace

BENCHMARK_MAIN();
