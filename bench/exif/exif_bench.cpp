// Rewriting the EXIF orientation of camera-sized JPEGs (6 and 20 MB), the
// viewer's step after every rotation, against copying the same file with cp
// in the same run: the physical floor is one read and one write of the file.
// The rewrite also flushes the new file to disk before renaming it, so cp
// followed by sync of the copy is measured too; and the rewrite is measured
// again with the thumbnail turned, as after a rotation.
#include "edit/exif/exif_data.h"
#include "exif_test_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TExifTag Ascii(uint16_t id, const std::string& text) {
  return TExifTag::MakeBytes(id, tdAscii, reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);
}

// A camera's file: JFIF, an Exif block with the usual tags, GPS, a 4 KB
// maker note and a thumbnail, then a frame whose scan fills the size asked.
TBytes CameraJpeg(size_t size) {
  TBytes jpeg = EncodeJpeg(640, 480);
  TBytes scan(size > jpeg.size() ? size - jpeg.size() : 0);
  uint32_t noise = 7;
  for (uint8_t& b : scan) {
    noise = noise * 1664525 + 1013904223;
    b = uint8_t((noise >> 24) % 0xFF);  // no FF: entropy-coded data stuffs it
  }
  jpeg.insert(jpeg.end() - 2, scan.begin(), scan.end());

  TExifData exif;
  exif.General().SetTag(Ascii(0x010F, "Canon"));
  exif.General().SetTag(Ascii(0x0110, "Canon EOS R5"));
  exif.General().SetTag(Ascii(0x0132, "2024:05:06 07:08:09"));
  exif.General().SetTag(Ascii(0x013B, "Jo Doe"));
  exif.General().SetOrientation(toRightTop);
  exif[esDetails].SetTag(TExifTag::MakeShort(0x8827, 800));
  exif[esDetails].SetTag(Ascii(0x9003, "2024:05:06 07:08:09"));
  const TBytes makerNote(4096, 0x4E);
  exif[esDetails].SetTag(TExifTag::MakeBytes(0x927C, tdUndefined, makerNote.data(), makerNote.size()));
  exif[esDetails].SetTag(TExifTag::MakeLong(0xA002, 640));
  exif[esDetails].SetTag(TExifTag::MakeLong(0xA003, 480));
  exif[esGPS].SetTag(Ascii(0x0001, "N"));
  exif[esThumbnail].SetTag(TExifTag::MakeShort(0x0128, 2));
  exif.SetThumbnail(EncodeJpeg(160, 120));
  return exif.SaveToBytes(jpeg);
}

class TFiles {
public:
  TFiles() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velvane-exif-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    FFolder = pattern;
    for (int megabytes : {6, 20}) {
      const TBytes bytes = CameraJpeg(size_t(megabytes) << 20);
      std::ofstream(Source(megabytes), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
  }
  ~TFiles() { std::filesystem::remove_all(FFolder); }
  std::string Source(int megabytes) const { return (FFolder / (std::to_string(megabytes) + "mb.jpg")).string(); }
  std::string Copy() const { return (FFolder / "copy.jpg").string(); }

private:
  std::filesystem::path FFolder;
};

const TFiles& Files() {
  static const TFiles files;
  return files;
}

void BM_RewriteOrientation(benchmark::State& state) {
  const std::string path = Files().Source(int(state.range(0)));
  bool upright = false;
  for (auto _ : state) {
    // Alternating keeps every call a real rewrite (an unchanged file is
    // left alone).
    upright = !upright;
    TExifData exif;
    exif.LoadFromGraphic(path);
    exif.General().SetOrientation(upright ? toTopLeft : toRightTop);
    exif.SaveToGraphic(path);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * (state.range(0) << 20));
}

// The same step as a rotation takes it: the 160 x 120 thumbnail is turned
// with the picture (decoded and encoded again) besides the tag.
void BM_RewriteOrientationTurningThumbnail(benchmark::State& state) {
  const std::string path = Files().Source(int(state.range(0)));
  bool upright = false;
  for (auto _ : state) {
    upright = !upright;
    TExifData exif;
    exif.LoadFromGraphic(path);
    exif.General().SetOrientation(upright ? toTopLeft : toRightTop);
    exif.TransformThumbnail(upright ? ptRotate90 : ptRotate270);
    exif.SaveToGraphic(path);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * (state.range(0) << 20));
}

void RunShell(benchmark::State& state, const std::string& command) {
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("command failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * (state.range(0) << 20));
}

void BM_CopyWithCp(benchmark::State& state) {
  RunShell(state, "cp '" + Files().Source(int(state.range(0))) + "' '" + Files().Copy() + "'");
}

void BM_CopyWithCpThenSync(benchmark::State& state) {
  RunShell(state, "cp '" + Files().Source(int(state.range(0))) + "' '" + Files().Copy() + "' && sync '" +
                      Files().Copy() + "'");
}

}  // namespace

BENCHMARK(BM_RewriteOrientation)->Arg(6)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RewriteOrientationTurningThumbnail)->Arg(6)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyWithCp)->Arg(6)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyWithCpThenSync)->Arg(6)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
