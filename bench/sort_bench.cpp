// How the cost of ordering the list grows: the program's quicksort with each
// comparator, on 1,000, 10,000 and 100,000 films, on the host. ByName and
// ByNameDesc sort with CompareNamesByLocale, the definition of the name orders;
// ByNameKeys and ByNameDescKeys as Sort does, through sort keys (SortByName).
//
//   cmake --build --preset host --target sort_bench && build/host/sort_bench
//
// The host runs the program's own code (quicksort, comparators, cutting the
// file name from the path) over the in-memory platform, whose CompareStringA
// is a plain case-folded byte comparison: what Windows' locale-aware
// comparison costs is measured under Wine by phase_bench (bench/run.py).
// Not a test: nothing here is checked.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "support/Platform_mem.h"
#include "support/NameOrder.h"
#include "videofiles/QVOrdering.h"

namespace reelstart {
namespace {

// Words in Windows-1251: Latin and Cyrillic, mixed case.
const char* const kWords[] = {
    "Night", "city", "LAST", "train", "Blue", "river", "summer", "Ghost", "story", "Empire",
    "\xED\xEE\xF7\xFC",                  // ночь
    "\xC3\xEE\xF0\xEE\xE4",              // Город
    "\xEF\xEE\xE5\xE7\xE4",              // поезд
    "\xD1\xE8\xED\xE8\xE9",              // Синий
    "\xD0\xC5\xCA\xC0",                  // РЕКА
    "\xB8\xE6\xE8\xEA",                  // ёжик
    "\xD2\xF3\xEC\xE0\xED",              // Туман
    "\xF1\xE5\xF0\xE8\xFF",              // серия
};
const char* const kSeparators[] = {" ", " - ", "-", "'", "_", ", ", " (", ") "};
const char* const kExts[] = {".avi", ".AVI", ".mpg", ".wmv", ".divx", ".mpeg"};

// `count` films in folders up to three deep, as a walk would list them: the
// same names recur in many folders, a tenth of the sizes are shared.
TVideoFileList MakeFilms(int count) {
  std::mt19937 random(20240607u + static_cast<unsigned>(count));
  auto pick = [&](const auto& table) {
    return table[random() % (sizeof table / sizeof table[0])];
  };
  TVideoFileList films;
  films.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string path = "D:\\";
    const int depth = static_cast<int>(random() % 4);
    for (int d = 0; d < depth; ++d) {
      path += pick(kWords);
      path += ' ';
      path += std::to_string(random() % 40);
      path += '\\';
    }
    const int words = 1 + static_cast<int>(random() % 5);
    for (int w = 0; w < words; ++w) {
      if (w > 0) path += pick(kSeparators);
      path += pick(kWords);
    }
    if (random() % 3 == 0) path += " " + std::to_string(random() % 30);
    path += pick(kExts);
    const std::int64_t size = random() % 10 == 0
                                  ? 734003200
                                  : static_cast<std::int64_t>(random() % 8000) * 1048576 +
                                        static_cast<std::int64_t>(random() % 1048576);
    films.push_back({std::move(path), size});
  }
  return films;
}

void SortBy(benchmark::State& state, TVideoFileCompare compare) {
  MemoryPlatform platform;
  const TVideoFileList films = MakeFilms(static_cast<int>(state.range(0)));
  long long comparisons = 0;
  static TVideoFileCompare inner;
  static long long* counter;
  inner = compare;
  counter = &comparisons;
  auto counted = [](const TVideoFileList& files, int i1, int i2) {
    ++*counter;
    return inner(files, i1, i2);
  };
  // Comparisons of one sort, counted once, outside the timed loop.
  TVideoFileList once = films;
  QuickSort(once, counted);
  const long long perSort = comparisons;

  for (auto _ : state) {
    state.PauseTiming();
    TVideoFileList list = films;
    state.ResumeTiming();
    QuickSort(list, compare);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetComplexityN(state.range(0));
  state.counters["comparisons"] = static_cast<double>(perSort);
  // Seconds per comparison, printed with its SI prefix ("25n" is 25 ns).
  state.counters["per_comparison"] = benchmark::Counter(
      static_cast<double>(perSort) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// What Sort does for the name orders: a sort key per file, made in the timed
// loop, then the same quicksort over the keys.
void SortByNameKeys(benchmark::State& state, bool descending) {
  MemoryPlatform platform;
  const TVideoFileList films = MakeFilms(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    TVideoFileList list = films;
    state.ResumeTiming();
    SortByName(list, descending, {});
    benchmark::DoNotOptimize(list.data());
  }
  state.SetComplexityN(state.range(0));
}

void BySize(benchmark::State& state) { SortBy(state, CompareBySize); }
void BySizeDesc(benchmark::State& state) { SortBy(state, CompareBySizeDesc); }
void ByName(benchmark::State& state) { SortBy(state, CompareNamesByLocale); }
void ByNameDesc(benchmark::State& state) { SortBy(state, CompareNamesByLocaleDesc); }
void ByNameKeys(benchmark::State& state) { SortByNameKeys(state, false); }
void ByNameDescKeys(benchmark::State& state) { SortByNameKeys(state, true); }

#define SORT_BENCHMARK(name)                                                              \
  BENCHMARK(name)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond) \
      ->Complexity(benchmark::oNLogN)

SORT_BENCHMARK(BySize);
SORT_BENCHMARK(BySizeDesc);
SORT_BENCHMARK(ByName);
SORT_BENCHMARK(ByNameDesc);
SORT_BENCHMARK(ByNameKeys);
SORT_BENCHMARK(ByNameDescKeys);

}  // namespace
}  // namespace reelstart

BENCHMARK_MAIN();
