// The cost of one composed frame of a 600 x 400, 100-frame GIF and WebP,
// against decoding one still GIF and WebP of the same size (the baseline).
// The pictures are made by ImageMagick and gif2webp into a folder of the
// benchmark's own.

#include "decoder/animation_frames.h"
#include "platform/free_bitmap.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/velvane-animation-bench-XXXXXX";
    const std::string made = ::mkdtemp(name) ? name : "";
    if (made.empty()) std::abort();
    std::string frames;
    for (int i = 1; i < 100; ++i)
      frames += " \\( -clone 0 -roll +" + std::to_string(i * 6) + "+" + std::to_string(i * 4) + " \\)";
    const std::string script =
        "cd " + made +
        " && convert-im6.q16 -seed 1 -size 600x400 plasma:fractal still.png"
        " && convert-im6.q16 still.png still.gif"
        " && convert-im6.q16 -delay 4 still.png" +
        frames +
        " -loop 0 anim.gif"
        " && gif2webp -quiet anim.gif -o anim.webp && cwebp -quiet -lossless still.png -o still.webp";
    if (std::system(script.c_str()) != 0) std::abort();
    return made;
  }();
  return folder;
}

void PlayFrames(benchmark::State& state, const char* name) {
  const std::string path = Folder() + "/" + name;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  decoder::TAnimationKind kind;
  auto frames = decoder::OpenAnimation(fd, kind);
  ::close(fd);
  if (!frames || frames->Facts().frameCount != 100) {
    state.SkipWithError("not an animation of 100 frames");
    return;
  }
  unsigned index = 0;
  for (auto _ : state) {
    unsigned delay = 0;
    FIBITMAP* frame = frames->CompactFrame(index, delay);
    benchmark::DoNotOptimize(frame);
    TFreeBitmap{frame}.Clear();
    index = (index + 1) % 100;
  }
}

void DecodeStill(benchmark::State& state, FREE_IMAGE_FORMAT fif, const char* name) {
  const std::string path = Folder() + "/" + name;
  for (auto _ : state) {
    FIBITMAP* dib = FreeImage_Load(fif, path.c_str());
    if (!dib) {
      state.SkipWithError("cannot decode");
      return;
    }
    benchmark::DoNotOptimize(dib);
    TFreeBitmap{dib}.Clear();
  }
}

BENCHMARK_CAPTURE(DecodeStill, gif_baseline, FIF_GIF, "still.gif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayFrames, gif_frame, "anim.gif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeStill, webp_baseline, FIF_WEBP, "still.webp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayFrames, webp_frame, "anim.webp")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  FreeImage_Initialise(FALSE);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FreeImage_DeInitialise();
  std::filesystem::remove_all(Folder());
  return 0;
}
