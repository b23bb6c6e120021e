// Turning a 24-megapixel camera JPEG by a quarter, as the viewer's command
// does it (the working image turned in memory, the file rewritten with its
// orientation reset): by moving the compressed blocks, and by re-encoding
// the picture, against `jpegtran -rotate 90 -copy all` on the same file in
// the same run. Run through run-rotate-bench, which installs jpegtran and
// interleaves the three over several rounds.
//
// The files live in /dev/shm where it exists (VELVANE_BENCH_DIR overrides),
// so that the figures compare the work, not the disk.
#include "edit/orient_picture.h"

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int Width = 6000, Height = 4000;

// Smooth shapes under grain: compresses like a camera's photo (about 10 MB
// at quality 90, 4:2:0).
FIBITMAP* PhotoLike() {
  FIBITMAP* dib = FreeImage_Allocate(Width, Height, 24);
  uint32_t noise = 7;
  for (int y = 0; y < Height; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, y);
    for (int x = 0; x < Width; ++x) {
      noise = noise * 1664525 + 1013904223;
      const int n = int(noise >> 26) - 32;
      line[x * 3 + FI_RGBA_RED] = BYTE(std::clamp(x * 200 / Width + n + 20, 0, 255));
      line[x * 3 + FI_RGBA_GREEN] = BYTE(std::clamp((x / 300 + y / 300) % 2 * 90 + y * 100 / Height + n, 0, 255));
      line[x * 3 + FI_RGBA_BLUE] =
          BYTE(std::clamp(((x - 3000) * (x - 3000) + (y - 2000) * (y - 2000)) / 40000 + n, 0, 255));
    }
  }
  return dib;
}

class TFiles {
public:
  TFiles() {
    const char* chosen = std::getenv("VELVANE_BENCH_DIR");
    std::filesystem::path base = chosen ? chosen : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    std::string pattern = (base / "velvane-rotate-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder in " + base.string());
    FFolder = pattern;
    FIBITMAP* photo = PhotoLike();
    FreeImage_Save(FIF_JPEG, photo, Path("source.jpg").c_str(), 90 | JPEG_SUBSAMPLING_420);
    FreeImage_Unload(photo);
    for (const char* name : {"lossless.jpg", "reencoded.jpg"})
      std::filesystem::copy_file(Path("source.jpg"), Path(name));
  }
  ~TFiles() { std::filesystem::remove_all(FFolder); }
  std::string Path(const std::string& name) const { return (FFolder / name).string(); }

private:
  std::filesystem::path FFolder;
};

const TFiles& Files() {
  static const TFiles files;
  return files;
}

void TurnRight(benchmark::State& state, const std::string& name, bool edited) {
  const std::string path = Files().Path(name);
  FIBITMAP* picture = FreeImage_Load(FIF_JPEG, path.c_str(), JPEG_EXIFROTATE);
  for (auto _ : state) {
    FIBITMAP* turned = TransformPicture(picture, ocRotateRight);
    const TOrientedResult result = WriteOrientedFile({path, turned, ocRotateRight, true, edited});
    FreeImage_Unload(picture);
    picture = turned;
    if (!result.save.Ok() || result.lossless == edited) state.SkipWithError("not the path asked for");
  }
  FreeImage_Unload(picture);
  state.SetLabel(std::to_string(std::filesystem::file_size(path) >> 20) + " MB file");
}

void BM_RotateLossless(benchmark::State& state) { TurnRight(state, "lossless.jpg", false); }
void BM_RotateReencoded(benchmark::State& state) { TurnRight(state, "reencoded.jpg", true); }

// The part both paths share: turning the working image in memory.
void BM_TurnWorkingImageOnly(benchmark::State& state) {
  FIBITMAP* picture = FreeImage_Load(FIF_JPEG, Files().Path("source.jpg").c_str(), JPEG_EXIFROTATE);
  for (auto _ : state) {
    FIBITMAP* turned = TransformPicture(picture, ocRotateRight);
    FreeImage_Unload(picture);
    picture = turned;
  }
  FreeImage_Unload(picture);
}

void BM_Jpegtran(benchmark::State& state) {
  std::string program = "jpegtran", rotate = "-rotate", angle = "90", copy = "-copy", all = "all", outfile = "-outfile",
              out = Files().Path("jpegtran.jpg"), in = Files().Path("source.jpg");
  char* argv[] = {program.data(), rotate.data(), angle.data(), copy.data(), all.data(),
                  outfile.data(), out.data(),    in.data(),    nullptr};
  double childSeconds = 0;
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    rusage usage{};
    if (posix_spawnp(&pid, "jpegtran", nullptr, nullptr, argv, environ) != 0 || wait4(pid, &status, 0, &usage) != pid ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("jpegtran is not installed (bench/edit/run-rotate-bench installs it)");
      break;
    }
    childSeconds +=
        double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  // The CPU column is the viewer's own; jpegtran's runs in its process.
  state.counters["jpegtran_cpu_ms"] = benchmark::Counter(childSeconds * 1000, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_RotateLossless)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_RotateReencoded)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_TurnWorkingImageOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Jpegtran)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char** argv) {
  FreeImage_Initialise(FALSE);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FreeImage_DeInitialise();
  return 0;
}
