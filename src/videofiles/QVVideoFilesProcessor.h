// The program's work: collect the video files of the executable's folder
// tree, order them, write them as an ASX playlist and have the shell open it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/DateFormat.h"
#include "platform/Platform.h"

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
  // The sort key of the file name while Sort orders the list by name (see
  // SortByName); empty at any other time.
  std::string NameKey;
};
static_assert(sizeof(TVideoFile::Size) == 8, "films over 4 GiB keep their size in the 32-bit build");
using TVideoFileList = std::vector<TVideoFile>;

// Answers a negative number, 0 or a positive number when item i1 of `files`
// belongs before, level with or after item i2.
using TVideoFileCompare = int (*)(const TVideoFileList& files, int i1, int i2);

// File names (after the last '\' or ':'), locale-aware, case ignored. Sort
// reaches exactly this order through sort keys (SortByName).
int CompareByName(const TVideoFileList& files, int i1, int i2);
int CompareByNameDesc(const TVideoFileList& files, int i1, int i2);
// Sizes; on equal sizes the full paths, ASCII case folded.
int CompareBySize(const TVideoFileList& files, int i1, int i2);
int CompareBySizeDesc(const TVideoFileList& files, int i1, int i2);

// The list's in-place quicksort (middle pivot; not stable).
void QuickSort(TVideoFileList& files, TVideoFileCompare compare);

// The quicksort in the order of CompareByName, or of CompareByNameDesc when
// `descending`, with the file names' sort keys compared in its place.
void SortByName(TVideoFileList& files, bool descending);

class TQVVideoFilesEnumerator {
 public:
  TQVVideoFilesEnumerator() = default;

  TSortMode SortMode = smSizeAsc;

  // Adds every video file under the folder of `mask` (a folder followed by
  // "*.*"), at any depth, depth-first in listing order. Folders that cannot
  // be listed add nothing; files that cannot be opened get size 0. A folder
  // link that leads back to a folder being walked above it is not entered.
  void FindFiles(const std::string& mask);

  [[nodiscard]] int Count() const { return static_cast<int>(files_.size()); }
  [[nodiscard]] const TVideoFileList& Files() const { return files_; }
  void AddFile(std::string path, std::int64_t size);

  // Orders Files by SortMode.
  void Sort();

  // Writes the sorted list as an ASX playlist into the folder named by "TMP"
  // and stores its path in `playlistFile`. Answers false, touching nothing,
  // when the list is empty. Raises EFCreateError when the file cannot be
  // created and EWriteError when it is not written whole.
  bool CreatePlaylist(const std::string& author, const std::string& publisher,
                      const std::string& copyright, std::string& playlistFile);

  // The playlist text for the list in its present order.
  [[nodiscard]] std::string PlaylistText(const std::string& author, const std::string& publisher,
                                         const std::string& copyright) const;

  static bool IsSubDirectory(const FindData& entry);
  static bool IsVideoFile(const FindData& entry);
  // Size of the file at `path`; 0 when it cannot be opened for reading.
  static std::int64_t GetFileSize64(const std::string& path);

 private:
  struct Ancestor;

  // Lists one folder and, depth first, those below it. Answers false when
  // the folder cannot be listed.
  bool Walk(const std::string& mask, std::vector<Ancestor>& ancestors);
  // For each entry of a listing: whether its name reads, to a path, as a
  // neighbour's does.
  static std::vector<bool> Ambiguous(const std::vector<FindData>& entries);
  // Whether the folder at `path` (ending in '\') is one of `ancestors`.
  static bool IsAncestor(const std::string& path, std::vector<Ancestor>& ancestors);

  TVideoFileList files_;
};

class TQVFileVersionInfo;

class TQVVideoFilesProcessor {
 public:
  TQVVideoFilesProcessor() = delete;

  // One run of the program; errors propagate to the caller. Reads the
  // locale's date settings into FormatSettings before anything else.
  static void Execute();
  // The order the switches ask for: "no" wins; then "size" (or no "name")
  // orders by size, descending unless only "asc" is given; otherwise by
  // name, ascending unless only "desc" is given.
  static TSortMode GetSortMode();
  // The help box: string resource 65437 filled with the executable's name
  // and the switch names, captioned with the product name.
  static void ShowHelp(const TQVFileVersionInfo& versionInfo);

  // Records the start statistics under "Software\<company>\<internal
  // name>\<product version>" of HKEY_LOCAL_MACHINE, then of
  // HKEY_CURRENT_USER: "Last Start", "VideoFiles Count", "Starts Count",
  // "Release Date", "Publisher Site", "Build", "Start Directory", in that
  // order. Raises ERegistryException at the first value that cannot be
  // written or read; what was written before it stays. Every key it opens is
  // closed on every path.
  static void SaveStatistics(const TQVVideoFilesEnumerator& enumerator,
                             const TQVFileVersionInfo& versionInfo);

  // The date settings of the run, read once when Execute starts; the dates
  // SaveStatistics writes are formatted with them.
  inline static TFormatSettings FormatSettings;
};

// The folder of the executable at `exePath` as the statistics show it:
// without its trailing backslash, except a drive root, which keeps it ("D:\").
std::string StartDirectory(const std::string& exePath);

}  // namespace reelstart
