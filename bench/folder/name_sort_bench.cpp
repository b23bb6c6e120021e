// Sorting a folder of 10,000 names by name: the locale's collation with one
// key per name (SortFolderList), against the code-point comparison it
// replaced, on the same names in the same run. Also the collation compared
// afresh at every step, to show what the keys save.
#include "codepoint_compare.h"
#include "folder/folder_list.h"
#include "platform/natural_compare.h"

#include <benchmark/benchmark.h>

#include <QLocale>

#include <algorithm>
#include <random>

namespace {

constexpr int kNames = 10000;

// Names as cameras, phones and people give them, in the folder's own order.
TDirList MakeFolder() {
  const char* const stems[] = {"IMG_", "DSC", "PXL_2023", "Holiday ", "été ", "Éclair-", "scan ", "Photo (", "café_"};
  std::mt19937 rng(7);
  TDirList list;
  list.reserve(kNames);
  for (int i = 0; i < kNames; ++i) {
    QString name = QString::fromUtf8(stems[rng() % std::size(stems)]) + QString::number(rng() % 20000);
    if (rng() % 3 == 0) name += QStringLiteral(" - copy ") + QString::number(rng() % 12);
    name += (rng() % 2) ? QStringLiteral(".JPG") : QStringLiteral(".png");
    list.push_back(TDirItem{name, {}});
  }
  return list;
}

void BM_CodePointCompare(benchmark::State& state) {
  const TDirList folder = MakeFolder();
  for (auto _ : state) {
    TDirList list = folder;
    std::stable_sort(list.begin(), list.end(),
                     [](const TDirItem& a, const TDirItem& b) { return CodePointNaturalCompare(a.Name, b.Name) < 0; });
    benchmark::DoNotOptimize(list.data());
  }
}

void BM_SortFolderListByName(benchmark::State& state) {
  const TDirList folder = MakeFolder();
  TSettings settings;
  settings.SortType = SortByName;
  for (auto _ : state) {
    TFolderState list;
    list.lsDir = folder;
    SortFolderList(list, QStringLiteral("/photos/IMG_1.JPG"), settings);
    benchmark::DoNotOptimize(list.lsDir.data());
  }
}

void BM_CollationAtEveryComparison(benchmark::State& state) {
  const TDirList folder = MakeFolder();
  for (auto _ : state) {
    TDirList list = folder;
    std::stable_sort(list.begin(), list.end(),
                     [](const TDirItem& a, const TDirItem& b) { return NaturalCompare(a.Name, b.Name) < 0; });
    benchmark::DoNotOptimize(list.data());
  }
}

// The locale is fixed so that every run measures the same collation.
const bool kLocale = (QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)), true);

BENCHMARK(BM_CodePointCompare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortFolderListByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollationAtEveryComparison)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
