#include "bench_photo.h"
#include "platform/free_bitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

FIBITMAP* PhotoLike() {
  constexpr int Width = BenchPhotoWidth, Height = BenchPhotoHeight;
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

TBenchFiles::TBenchFiles(const std::string& prefix) {
  const char* chosen = std::getenv("VELVANE_BENCH_DIR");
  std::filesystem::path base = chosen ? chosen : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  std::string pattern = (base / (prefix + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder in " + base.string());
  FFolder = pattern;
  FIBITMAP* photo = PhotoLike();
  FreeImage_Save(FIF_JPEG, photo, Path("source.jpg").c_str(), 90 | JPEG_SUBSAMPLING_420);
  TFreeBitmap{photo}.Clear();
}

TBenchFiles::~TBenchFiles() { std::filesystem::remove_all(FFolder); }

std::optional<double> RunProgram(const std::vector<std::string>& arguments) {
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int status = 0;
  rusage usage{};
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
      wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
