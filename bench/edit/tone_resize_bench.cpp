// A tone step and a resize to 1080 pixels high of a 24-megapixel camera
// JPEG, each run through the main window's own command (so the reload, the
// adjustments or the rescale, and the repaint of an 800 x 600 window are
// all in), against ImageMagick's convert on the same file in the same run
// (its decode included, its output discarded): the bare decode, -gamma for
// the tone step, and -resize x1080 with the matching filter for each of the
// six. ImageMagick runs with one thread, as the viewer does; its own CPU time
// is a counter. Run through run-tone-resize-bench, which installs ImageMagick
// and interleaves the rounds.
//
// The decoding worker keeps the decode of the file on display, so the
// viewer's reload of it is a copy-on-write mapping: "/kept" measures that, as
// a user stepping the tone meets it; "/decoded" (and every resize) drops the
// kept decode first, so the file is decoded again as ImageMagick decodes it.
#include "bench_photo.h"
#include "viewer/image_loader.h"
#include "viewer/tfmain.h"

#include <QApplication>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

// ImageMagick's names for the viewer's six filters, in the same order.
const char* const MagickFilters[] = {"Box", "Mitchell", "Triangle", "Spline", "Catrom", "Lanczos"};

struct TViewer {
  TViewer() {
    DefaultSettings(state.Settings);
    state.Settings.AutoSaveAfterResize = false;
    state.sCurrentFile = QString::fromStdString(files.Path("source.jpg"));
    window = std::make_unique<Tfmain>(state, nullptr, 96);
    window->resize(800, 600);
    window->show();
  }
  TBenchFiles files{"velvane-tone-resize-bench"};
  TAppState state;
  std::unique_ptr<Tfmain> window;
};

// Made on first use and gone before the application object.
std::unique_ptr<TViewer>& TheViewer() {
  static std::unique_ptr<TViewer> viewer;
  return viewer;
}

TViewer& Viewer() {
  if (!TheViewer()) TheViewer() = std::make_unique<TViewer>();
  return *TheViewer();
}

std::string Convert() {
  const char* chosen = std::getenv("VELVANE_CONVERT");
  return chosen ? chosen : "convert";
}

void RunMagick(benchmark::State& state, const std::vector<std::string>& operations) {
  std::vector<std::string> command = {Convert(), Viewer().files.Path("source.jpg")};
  command.insert(command.end(), operations.begin(), operations.end());
  command.push_back("null:");
  double childSeconds = 0;
  for (auto _ : state) {
    const std::optional<double> cpu = RunProgram(command);
    if (!cpu) {
      state.SkipWithError("ImageMagick's convert did not run (bench/edit/run-tone-resize-bench installs it)");
      break;
    }
    childSeconds += *cpu;
  }
  state.counters["magick_cpu_ms"] = benchmark::Counter(childSeconds * 1000, benchmark::Counter::kAvgIterations);
}

// range 1: the file is decoded again; 0: the worker's kept decode serves.
void DropKeptDecode(const benchmark::State& state, const TViewer& v) {
  if (state.range(0)) ForgetDecodes(v.state.sCurrentFile);
}

// Between two commands the window's event loop runs, as it does between two
// key presses (it releases the picture replaced, among other things); that
// time is not counted.
void BetweenCommands(benchmark::State& state) {
  state.PauseTiming();
  QCoreApplication::processEvents();
  state.ResumeTiming();
}

void BM_ViewerReload(benchmark::State& state) {
  TViewer& v = Viewer();
  for (auto _ : state) {
    DropKeptDecode(state, v);
    v.window->LoadImage(v.state.sCurrentFile, false, false);
    BetweenCommands(state);
  }
}

// Up and down in turn, so that every round does the whole step.
void BM_ViewerToneStep(benchmark::State& state) {
  TViewer& v = Viewer();
  bool up = true;
  for (auto _ : state) {
    DropKeptDecode(state, v);
    v.window->RunAction(v.window->Action(up ? TCommand::AcGammaIncrease : TCommand::AcGammaDecrease));
    up = !up;
    BetweenCommands(state);
  }
  if (v.state.Tone.fGamma != 1.0 && v.state.Tone.fGamma != 1.05) state.SkipWithError("the gamma did not step");
}

void BM_ViewerResize1080(benchmark::State& state) {
  TViewer& v = Viewer();
  v.state.Settings.ResizeFilter = std::int32_t(state.range(0));
  for (auto _ : state) {
    ForgetDecodes(v.state.sCurrentFile);
    v.window->RunAction(v.window->Action(TCommand::acResizeTo1080));
    BetweenCommands(state);
  }
  if (v.window->Bitmap().Width() != 1620 || v.window->Bitmap().Height() != 1080)
    state.SkipWithError("not resized to 1620 x 1080");
  state.SetLabel(MagickFilters[state.range(0)]);
}

void BM_MagickDecode(benchmark::State& state) { RunMagick(state, {}); }
void BM_MagickGamma(benchmark::State& state) { RunMagick(state, {"-gamma", "1.05"}); }

void BM_MagickResize1080(benchmark::State& state) {
  RunMagick(state, {"-filter", MagickFilters[state.range(0)], "-resize", "x1080"});
  state.SetLabel(MagickFilters[state.range(0)]);
}

}  // namespace

BENCHMARK(BM_ViewerReload)
    ->ArgName("decoded")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_ViewerToneStep)
    ->ArgName("decoded")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_MagickDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_MagickGamma)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ViewerResize1080)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_MagickResize1080)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("MAGICK_THREAD_LIMIT", "1", 1);  // for the child processes
  QApplication app(argc, argv);
  FreeImage_Initialise(FALSE);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TheViewer().reset();
  FreeImage_DeInitialise();
  return 0;
}
