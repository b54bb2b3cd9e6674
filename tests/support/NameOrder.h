// What the order by name means, asked of the locale on every comparison: the
// file names of two items compared by CompareStringA, case ignored. The
// program reaches the same order through sort keys (SortByName); the tests
// and the benchmarks hold it to this definition.
#pragma once

#include "common/Paths.h"
#include "platform/Platform.h"
#include "videofiles/VideoFile.h"

namespace reelstart {

inline int CompareNamesByLocale(const TVideoFileList& files, int i1, int i2) {
  const std::string name1 = ExtractFileName(files[static_cast<std::size_t>(i1)].Path, {});
  const std::string name2 = ExtractFileName(files[static_cast<std::size_t>(i2)].Path, {});
  // CompareStringA answers 1, 2 or 3 for less, equal, greater (0 on failure).
  return ThePlatform().CompareStringA(win::kNormIgnoreCase, name1, name2) - win::kCstrEqual;
}

inline int CompareNamesByLocaleDesc(const TVideoFileList& files, int i1, int i2) {
  return CompareNamesByLocale(files, i2, i1);
}

}  // namespace reelstart
