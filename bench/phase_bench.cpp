// Where a run of Reelstart spends its time, phase by phase, on the real
// system calls: the walk, the sort of each benchmarked order, the playlist
// text and its write. Built from the program's own logic with the program's
// own compiler settings (target phase_bench of the win32 preset, not built
// by default) and started by bench/run.py under Wine from the root of the
// benchmark tree, as Reelstart.exe is.
//
// For the order by name it also takes the comparison apart, with the same
// quicksort: CompareNamesByLocale, which cuts both file names from their paths and
// compares them with CompareStringA; CompareStringA alone, on names cut
// once beforehand; sort keys made once per name by LCMapStringA and compared
// bytewise, as Sort does. Each must give exactly the order of CompareNamesByLocale;
// the result says whether they did on this tree.
//
// Writes "name value" lines to the file named by its first argument.
#include <cstdio>
#include <string>
#include <vector>

#include "common/Paths.h"
#include "platform/Platform_win.h"
#include "platform/Win32.h"
#include "support/NameOrder.h"
#include "videofiles/QVOrdering.h"
#include "videofiles/QVPlaylist.h"
#include "videofiles/QVVideoFilesEnumerator.h"

namespace reelstart {
namespace {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

FILE* out = nullptr;

void Put(const char* name, double value) { std::fprintf(out, "%s %.6f\n", name, value); }

// Counts the comparisons the quicksort asks for.
TVideoFileCompare countedCompare = nullptr;
long long comparisons = 0;
int Counted(const TVideoFileList& files, int i1, int i2) {
  ++comparisons;
  return countedCompare(files, i1, i2);
}

// Items whose Path holds only the file name: CompareStringA and nothing else.
int CompareBareNames(const TVideoFileList& files, int i1, int i2) {
  return ThePlatform().CompareStringA(win::kNormIgnoreCase, files[static_cast<std::size_t>(i1)].Path,
                                      files[static_cast<std::size_t>(i2)].Path) -
         win::kCstrEqual;
}

// Items whose Path holds a sort key: bytes compared as unsigned values.
int CompareKeys(const TVideoFileList& files, int i1, int i2) {
  return files[static_cast<std::size_t>(i1)].Path.compare(files[static_cast<std::size_t>(i2)].Path);
}

std::string SortKey(const std::string& name) {
  const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
  const int size = LCMapStringA(LOCALE_USER_DEFAULT, flags, name.c_str(),
                                static_cast<int>(name.size()), nullptr, 0);
  std::string key(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    LCMapStringA(LOCALE_USER_DEFAULT, flags, name.c_str(), static_cast<int>(name.size()),
                 key.data(), size);
  }
  return key;
}

// The original positions, in the order a sorted list holds them (each
// item's Size carries its position).
std::vector<std::int64_t> Order(const TVideoFileList& files) {
  std::vector<std::int64_t> order;
  order.reserve(files.size());
  for (const TVideoFile& file : files) order.push_back(file.Size);
  return order;
}

void TimeMode(const char* tag, TSortMode mode, const TVideoFileList& found,
              const std::string& playlist) {
  char name[64];
  auto put = [&](const char* what, double value) {
    std::snprintf(name, sizeof name, "%s.%s", tag, what);
    Put(name, value);
  };

  TQVVideoFilesEnumerator enumerator;
  for (const TVideoFile& file : found) enumerator.AddFile(file.Path, file.Size);
  enumerator.SortMode = mode;
  double t = Now();
  enumerator.Sort();
  put("sort_s", Now() - t);

  t = Now();
  const std::string text = PlaylistText(enumerator.Files(), "", "Velkor Programs", "Copyright", {});
  put("text_s", Now() - t);
  put("text_bytes", static_cast<double>(text.size()));

  Platform& platform = ThePlatform();
  t = Now();
  const NativeHandle file = platform.CreateFileA(playlist, win::kGenericRead | win::kGenericWrite, 0,
                                                 win::kCreateAlways, win::kFileAttributeNormal);
  std::uint32_t written = 0;
  platform.WriteFile(file, text.data(), static_cast<std::uint32_t>(text.size()), written);
  platform.CloseHandle(file);
  put("write_s", Now() - t);

  if (mode == smNameAsc) {
    TVideoFileList expected = found;
    QuickSort(expected, CompareNamesByLocale);
    bool same = true;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      same = same && expected[i].Path == enumerator.Files()[i].Path;
    }
    put("same_order_as_CompareNamesByLocale", same ? 1 : 0);
  }

  TVideoFileList copy = found;
  countedCompare = mode == smNameAsc ? CompareNamesByLocale : CompareBySizeDesc;
  comparisons = 0;
  QuickSort(copy, Counted);
  put("comparisons", static_cast<double>(comparisons));
}

void SplitNameComparison(const TVideoFileList& found) {
  // Each item's Size becomes its position, so the orders can be compared.
  TVideoFileList full;
  for (std::size_t i = 0; i < found.size(); ++i) {
    full.push_back({found[i].Path, static_cast<std::int64_t>(i)});
  }
  TVideoFileList byName = full;
  double t = Now();
  QuickSort(byName, CompareNamesByLocale);
  Put("name.split.compare_by_name_s", Now() - t);

  t = Now();
  TVideoFileList names;
  for (const TVideoFile& file : full) names.push_back({ExtractFileName(file.Path, {}), file.Size});
  Put("name.split.extract_names_s", Now() - t);
  t = Now();
  QuickSort(names, CompareBareNames);
  Put("name.split.comparestring_only_s", Now() - t);

  t = Now();
  TVideoFileList keys;
  for (const TVideoFile& file : full) keys.push_back({SortKey(ExtractFileName(file.Path, {})), file.Size});
  Put("name.split.make_keys_s", Now() - t);
  t = Now();
  QuickSort(keys, CompareKeys);
  Put("name.split.sort_keys_s", Now() - t);

  const std::vector<std::int64_t> expected = Order(byName);
  Put("name.split.bare_names_same_order", Order(names) == expected ? 1 : 0);
  Put("name.split.keys_same_order", Order(keys) == expected ? 1 : 0);
}

void Run(const char* outPath) {
  out = std::fopen(outPath, "w");
  if (out == nullptr) return;
  Platform& platform = ThePlatform();
  const std::string exePath = platform.GetModuleFileNameA();
  const std::string playlist = platform.GetEnvironmentVariableA("TMP") + "\\phase_bench.asx";

  TQVVideoFilesEnumerator walker;
  double t = Now();
  walker.FindFiles(ExtractFilePath(exePath, {}) + "*.*");
  Put("walk_s", Now() - t);
  Put("files", walker.Count());

  TimeMode("size", smSizeDesc, walker.Files(), playlist);
  TimeMode("name", smNameAsc, walker.Files(), playlist);
  SplitNameComparison(walker.Files());
  std::fclose(out);
}

}  // namespace
}  // namespace reelstart

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  reelstart::Win32Platform platform;
  reelstart::SetPlatform(&platform);
  if (__argc > 1) reelstart::Run(__argv[1]);
  return 0;
}
