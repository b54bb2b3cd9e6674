// How the walk's cost grows with the folders below links: the program's walk
// on the host over the in-memory platform, from D:\Disc, where two links lead
// to D:\Out\A and D:\Out\B, each holding half of the folders (nested by
// 100, so that the stand-in finds a name in as little time in any tree; a
// film in each folder of 100), on 1,000, 10,000 and 100,000 folders.
//
//   cmake --build --preset host --target walk_bench && build/host/walk_bench
//
// Below the second link every folder's identity is read and looked up among
// those of the folders listed through links before it. Counted per walk:
// folders listed, identities read (opens of a folder). Not a test: nothing
// here is checked.
#include <benchmark/benchmark.h>

#include <string>

#include "support/Platform_mem.h"
#include "videofiles/QVVideoFilesEnumerator.h"

namespace reelstart {
namespace {

void WalkBelowTwoLinks(benchmark::State& state) {
  MemoryPlatform platform;
  const int folders = static_cast<int>(state.range(0));
  for (const char* half : {"A", "B"}) {
    for (int i = 0; i < folders / 2; ++i) {
      const std::string group = std::string("D:\\Out\\") + half + "\\h" +
                                std::to_string(i / 10000) + "\\g" + std::to_string(i / 100 % 100);
      platform.AddFolder(group + "\\f" + std::to_string(i % 100));
      if (i % 100 == 0) platform.AddFile(group + "\\film.avi", 1);
    }
  }
  platform.AddFolderLink("D:\\Disc\\Link1", "D:\\Out\\A");
  platform.AddFolderLink("D:\\Disc\\Link2", "D:\\Out\\B");
  std::size_t listed = 0;
  std::size_t opens = 0;
  int films = 0;
  for (auto _ : state) {
    state.PauseTiming();
    platform.Listings.clear();
    platform.Opens.clear();
    state.ResumeTiming();
    TQVVideoFilesEnumerator enumerator;
    enumerator.FindFiles("D:\\Disc\\*.*");
    films = enumerator.Count();
    listed = platform.Listings.size();
    opens = platform.Opens.size() - static_cast<std::size_t>(films);
  }
  state.SetComplexityN(state.range(0));
  state.counters["listed"] = static_cast<double>(listed);
  state.counters["identities"] = static_cast<double>(opens);
  state.counters["films"] = films;
}

BENCHMARK(WalkBelowTwoLinks)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace reelstart

BENCHMARK_MAIN();
