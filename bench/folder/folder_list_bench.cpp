// A folder of 100,000 photos as the folder list holds it. Reading it (what
// the first step would wait for without the lister's thread) against the
// bare enumeration; sorting it by name with the keys kept in the list (a
// sort command) against making the keys afresh and against sorting by date;
// and the list's memory per entry, as the allocator counts it.
#include "folder/folder_list.h"

#include <benchmark/benchmark.h>

#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <random>
#include <unistd.h>

namespace {

constexpr int kFiles = 100000;

// Names as a phone or a camera gives them, in several series; sizes and dates
// from the writing order.
class TBigFolder {
public:
  TBigFolder() {
    const char* const stems[] = {"IMG_", "PXL_20230817_", "DSC0", "Screenshot_2024-01-0"};
    std::mt19937 rng(3);
    for (int i = 0; i < kFiles; ++i) {
      const QString name =
          QString::fromLatin1(stems[i % 4]) + QString::number(rng() % 900000) + QStringLiteral("_%1.jpg").arg(i);
      const int fd = open(QFile::encodeName(Path() + name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) continue;
      const QByteArray bytes(static_cast<int>(rng() % 64), 'x');
      if (write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) < 0) std::perror("write");
      close(fd);
    }
  }
  QString Path() const { return FDir.path() + '/'; }

private:
  QTemporaryDir FDir;
};

std::unique_ptr<TBigFolder> gFolder;  // written before the first benchmark, removed after the last

const TBigFolder& Folder() { return *gFolder; }

void BM_EnumerateFolder(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<TDirEntry> entries;
    EnumerateFolder(Folder().Path(), entries);
    benchmark::DoNotOptimize(entries.data());
  }
}

void BM_ReadFolderList(benchmark::State& state) {
  for (auto _ : state) {
    TDirList list;
    ReadFolderList(Folder().Path(), list);
    benchmark::DoNotOptimize(list.data());
  }
}

// The heap the list holds, per entry: the items, names and keys.
void BM_ListMemoryPerEntry(benchmark::State& state) {
  for (auto _ : state) {
    malloc_trim(0);
    const struct mallinfo2 before = mallinfo2();
    auto list = std::make_unique<TDirList>();
    ReadFolderList(Folder().Path(), *list);
    list->shrink_to_fit();
    const struct mallinfo2 after = mallinfo2();
    state.counters["entries"] = static_cast<double>(list->size());
    // Large blocks (the item array) are mapped apart from the heap proper.
    const double bytes =
        static_cast<double>(after.uordblks + after.hblkhd) - static_cast<double>(before.uordblks + before.hblkhd);
    state.counters["bytes_per_entry"] = bytes / static_cast<double>(list->size());
  }
}

// The same for a camera's names, IMG_00001.JPG and so on, built in memory as
// a read would build them.
void BM_ListMemoryPerEntryCameraNames(benchmark::State& state) {
  for (auto _ : state) {
    malloc_trim(0);
    const struct mallinfo2 before = mallinfo2();
    auto list = std::make_unique<TDirList>();
    for (int i = 0; i < kFiles; ++i) {
      TDirItem item;
      item.Name = QStringLiteral("IMG_%1.JPG").arg(i, 5, 10, QLatin1Char('0'));
      item.Info.info.Name = item.Name;
      list->push_back(std::move(item));
    }
    TSettings byName;
    byName.SortType = SortByName;
    SortDirList(*list, byName);  // makes the keys
    list->shrink_to_fit();
    const struct mallinfo2 after = mallinfo2();
    const double bytes =
        static_cast<double>(after.uordblks + after.hblkhd) - static_cast<double>(before.uordblks + before.hblkhd);
    state.counters["bytes_per_entry"] = bytes / static_cast<double>(list->size());
  }
}

// As a sort command does: the list re-sorted in the other direction.
void BM_SortByNameKeptKeys(benchmark::State& state) {
  TDirList list;
  ReadFolderList(Folder().Path(), list);
  TSettings settings;
  settings.SortType = SortByName;
  for (auto _ : state) {
    settings.SortReversed = !settings.SortReversed;
    SortDirList(list, settings);
    benchmark::DoNotOptimize(list.data());
  }
}

void BM_SortByNameFreshKeys(benchmark::State& state) {
  TDirList list;
  ReadFolderList(Folder().Path(), list);
  TSettings settings;
  settings.SortType = SortByName;
  for (auto _ : state) {
    settings.SortReversed = !settings.SortReversed;
    for (TDirItem& item : list) item.NameKey.clear();
    SortDirList(list, settings);
    benchmark::DoNotOptimize(list.data());
  }
}

void BM_SortByDate(benchmark::State& state) {
  TDirList list;
  ReadFolderList(Folder().Path(), list);
  TSettings settings;
  settings.SortType = SortByDate;
  for (auto _ : state) {
    settings.SortReversed = !settings.SortReversed;
    SortDirList(list, settings);
    benchmark::DoNotOptimize(list.data());
  }
}

const bool kLocale = (QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)), true);

BENCHMARK(BM_EnumerateFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFolderList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListMemoryPerEntry)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ListMemoryPerEntryCameraNames)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SortByNameKeptKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByNameFreshKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByDate)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  gFolder = std::make_unique<TBigFolder>();
  benchmark::RunSpecifiedBenchmarks();
  gFolder.reset();
  benchmark::Shutdown();
  return 0;
}
