// The orders of the video file list: the comparators of each sort mode and
// the list's quicksort.
#pragma once

#include "common/Text.h"
#include "videofiles/VideoFile.h"

namespace reelstart {

// Answers a negative number, 0 or a positive number when item i1 of `files`
// belongs before, level with or after item i2.
using TVideoFileCompare = int (*)(const TVideoFileList& files, int i1, int i2);

// Sizes; on equal sizes the full paths, ASCII case folded.
int CompareBySize(const TVideoFileList& files, int i1, int i2);
int CompareBySizeDesc(const TVideoFileList& files, int i1, int i2);
// File names, locale-aware, case ignored: the items' NameKeys (as SortByName
// makes them) compared byte by byte.
int CompareByName(const TVideoFileList& files, int i1, int i2);
int CompareByNameDesc(const TVideoFileList& files, int i1, int i2);

// The list's in-place quicksort (middle pivot; not stable).
void QuickSort(TVideoFileList& files, TVideoFileCompare compare);

// The quicksort by CompareByName, or CompareByNameDesc when `descending`:
// each file name (after the last '\' or ':') gets its sort key first.
void SortByName(TVideoFileList& files, bool descending, const TLeadBytes& leadBytes);

// `files` in the order of `mode`; any mode other than 1..4 keeps the order.
void SortVideoFiles(TVideoFileList& files, TSortMode mode, const TLeadBytes& leadBytes);

}  // namespace reelstart
