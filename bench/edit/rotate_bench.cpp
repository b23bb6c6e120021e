// Turning a 24-megapixel camera JPEG by a quarter, as the viewer's command
// does it (the file rewritten with its orientation reset and checked by the
// decoding worker before it replaces the old one, the working image turned
// in memory meanwhile): by moving the compressed blocks, and by re-encoding
// the picture, against `jpegtran -rotate 90 -copy all` on the same file in
// the same run; the lossless path also without the check, for what the
// check costs. Run through run-rotate-bench, which installs jpegtran,
// interleaves the measurements over several rounds and prints the ratios.
#include "bench_photo.h"
#include "edit/orient_picture.h"
#include "viewer/worker_access.h"

#include <FreeImage.h>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

const TBenchFiles& Files() {
  static const TBenchFiles files("velvane-rotate-bench");
  static const bool copied = [] {
    for (const char* name : {"lossless.jpg", "unchecked.jpg", "reencoded.jpg"})
      std::filesystem::copy_file(files.Path("source.jpg"), files.Path(name));
    return true;
  }();
  (void)copied;
  return files;
}

void TurnRight(benchmark::State& state, const std::string& name, bool edited, bool checked = true) {
  const std::string path = Files().Path(name);
  TFreeBitmap picture(FreeImage_Load(FIF_JPEG, path.c_str(), JPEG_EXIFROTATE));
  TWorkerChecker checker;
  for (auto _ : state) {
    TFreeBitmap turned;
    TOrientedWrite request;
    request.path = path;
    request.command = ocRotateRight;
    request.exifRotation = true;
    request.pictureEdited = edited;
    request.workingImage = picture.Dib();
    request.fileFormat = FIF_JPEG;
    request.turnWorkingImage = [&] {
      turned = TransformPicture(picture.Dib(), ocRotateRight);
      return turned.Dib();
    };
    if (checked) request.checker = &checker;
    const TOrientedResult result = WriteOrientedFile(request);
    picture = std::move(turned);
    if (!result.save.Ok() || result.lossless == edited) state.SkipWithError("not the path asked for");
  }
  state.SetLabel(std::to_string(std::filesystem::file_size(path) >> 20) + " MB file");
}

void BM_RotateLossless(benchmark::State& state) { TurnRight(state, "lossless.jpg", false); }
void BM_RotateLosslessUnchecked(benchmark::State& state) { TurnRight(state, "unchecked.jpg", false, false); }
void BM_RotateReencoded(benchmark::State& state) { TurnRight(state, "reencoded.jpg", true); }

// The part both paths share: turning the working image in memory.
void BM_TurnWorkingImageOnly(benchmark::State& state) {
  TFreeBitmap picture(FreeImage_Load(FIF_JPEG, Files().Path("source.jpg").c_str(), JPEG_EXIFROTATE));
  for (auto _ : state) picture = TransformPicture(picture.Dib(), ocRotateRight);
}

void BM_Jpegtran(benchmark::State& state) {
  const std::vector<std::string> command = {"jpegtran",
                                            "-rotate",
                                            "90",
                                            "-copy",
                                            "all",
                                            "-outfile",
                                            Files().Path("jpegtran.jpg"),
                                            Files().Path("source.jpg")};
  double childSeconds = 0;
  for (auto _ : state) {
    const std::optional<double> cpu = RunProgram(command);
    if (!cpu) {
      state.SkipWithError("jpegtran is not installed (bench/edit/run-rotate-bench installs it)");
      break;
    }
    childSeconds += *cpu;
  }
  // The CPU column is the viewer's own; jpegtran's runs in its process.
  state.counters["jpegtran_cpu_ms"] = benchmark::Counter(childSeconds * 1000, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_RotateLossless)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_RotateLosslessUnchecked)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
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
