#include "videofiles/QVOrdering.h"

#include <utility>

#include "common/Paths.h"
#include "platform/Platform.h"

namespace reelstart {

namespace {

const TVideoFile& Item(const TVideoFileList& files, int i) {
  return files[static_cast<std::size_t>(i)];
}

// Sorts left..right. Recurses into the smaller part and loops on the larger,
// so the stack holds at most log2(n) frames whatever the data; the parts are
// sorted independently, so the order is the same either way round.
void QuickSortRange(TVideoFileList& files, int left, int right, TVideoFileCompare compare) {
  while (left < right) {
    int i = left;
    int j = right;
    int pivot = (left + right) / 2;
    do {
      while (compare(files, i, pivot) < 0) ++i;
      while (compare(files, j, pivot) > 0) --j;
      if (i <= j) {
        if (i != j) std::swap(files[static_cast<std::size_t>(i)], files[static_cast<std::size_t>(j)]);
        // The pivot is an index: keep it on the pivot item as that moves.
        if (pivot == i) {
          pivot = j;
        } else if (pivot == j) {
          pivot = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - left < right - i) {
      if (left < j) QuickSortRange(files, left, j, compare);
      left = i;
    } else {
      if (i < right) QuickSortRange(files, i, right, compare);
      right = j;
    }
  }
}

}  // namespace

int CompareBySize(const TVideoFileList& files, int i1, int i2) {
  const TVideoFile& file1 = Item(files, i1);
  const TVideoFile& file2 = Item(files, i2);
  if (file1.Size == file2.Size) return AsciiCompareText(file1.Path, file2.Path);
  return file1.Size > file2.Size ? 1 : -1;
}

int CompareBySizeDesc(const TVideoFileList& files, int i1, int i2) {
  return CompareBySize(files, i2, i1);
}

// Bytewise, as unsigned values: two keys order as CompareStringA orders
// their names, with the same sign every time.
int CompareByName(const TVideoFileList& files, int i1, int i2) {
  return Item(files, i1).NameKey.compare(Item(files, i2).NameKey);
}

int CompareByNameDesc(const TVideoFileList& files, int i1, int i2) {
  return CompareByName(files, i2, i1);
}

void QuickSort(TVideoFileList& files, TVideoFileCompare compare) {
  if (files.size() > 1) QuickSortRange(files, 0, static_cast<int>(files.size()) - 1, compare);
}

// Cutting both file names from their paths and having the locale compare
// them on each of the n log n comparisons was most of a run's own work on a
// large collection under Wine. A sort key does the locale's work once per
// file; the quicksort asks the same questions and gets the same answers as
// CompareStringA would give, so the order, ties between equal names
// included, is the same. The names are read in the ANSI code page they are
// in: read in that of an English Formats locale, "Армия" would sort as
// "Àðìèÿ".
void SortByName(TVideoFileList& files, bool descending, const TLeadBytes& leadBytes) {
  Platform& platform = ThePlatform();
  for (TVideoFile& file : files) {
    file.NameKey =
        platform.LCMapStringA(win::kLcmapSortKey | win::kNormIgnoreCase | win::kLocaleUseCpAcp,
                              ExtractFileName(file.Path, leadBytes));
  }
  QuickSort(files, descending ? CompareByNameDesc : CompareByName);
  for (TVideoFile& file : files) std::string().swap(file.NameKey);  // memory back at once
}

void SortVideoFiles(TVideoFileList& files, TSortMode mode, const TLeadBytes& leadBytes) {
  switch (mode) {
    case smNameAsc:
      SortByName(files, false, leadBytes);
      break;
    case smNameDesc:
      SortByName(files, true, leadBytes);
      break;
    case smSizeAsc:
      QuickSort(files, CompareBySize);
      break;
    case smSizeDesc:
      QuickSort(files, CompareBySizeDesc);
      break;
    default:
      break;  // smNone and any other value: as found
  }
}

}  // namespace reelstart
