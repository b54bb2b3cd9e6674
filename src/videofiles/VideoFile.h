// One film of the list, the list, and the orders it can be put in.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace reelstart {

// How Sort orders the list; stored in one byte. Values outside 1..4 leave
// the list as found.
enum TSortMode : std::uint8_t {
  smNone = 0,
  smNameAsc = 1,
  smNameDesc = 2,
  smSizeAsc = 3,
  smSizeDesc = 4,
};

// One video file found: its full path (folder part of the mask followed by
// the name, exactly as listed) and its size in bytes.
struct TVideoFile {
  TVideoFile() = default;
  TVideoFile(std::string path, std::int64_t size) : Path(std::move(path)), Size(size) {}

  std::string Path;
  std::int64_t Size = 0;
  // The sort key of the file name while the list is ordered by name (see
  // SortByName); empty at any other time.
  std::string NameKey;
};
static_assert(sizeof(TVideoFile::Size) == 8, "films over 4 GiB keep their size in the 32-bit build");

using TVideoFileList = std::vector<TVideoFile>;

}  // namespace reelstart
