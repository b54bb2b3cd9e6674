// The walk of the folder tree, the video file test, the size probe and the
// orderings of the list.
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "common/Paths.h"
#include "common/Text.h"
#include "platform/ScopedHandle.h"
#include "videofiles/QVVideoFilesProcessor.h"

namespace reelstart {

namespace {

constexpr std::array<std::string_view, 12> kVideoFileExts = {
    ".avi", ".divx", ".dvr-ms", ".m1v", ".mp2",  ".mpeg",
    ".mpa", ".mpe",  ".mpg",    ".mpv2", ".mp2v", ".wmv",
};

// Identity of the file or folder at `path`, or nothing when it cannot be
// opened. FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFileA open a folder
// at all; asking for no access rights lets it open folders whose contents
// may not be read, and files another program holds open for writing.
std::optional<FileIdentity> EntryIdentity(const std::string& path) {
  Platform& platform = ThePlatform();
  const ScopedFileHandle entry(platform.CreateFileA(
      path, 0, win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete,
      win::kOpenExisting, win::kFileFlagBackupSemantics));
  FileIdentity identity;
  // Some network redirectors answer file index 0 for everything: such an
  // answer tells nothing, and would make every folder look like its parent.
  if (!entry.IsValid() || !platform.GetFileInformationByHandle(entry.Get(), identity) ||
      identity.FileIndex == 0) {
    return std::nullopt;
  }
  return identity;
}

// Size of the file at `path`, or nothing when it cannot be opened for
// reading (others may read it meanwhile, but not write it).
std::optional<std::int64_t> ProbeFileSize(const std::string& path) {
  Platform& platform = ThePlatform();
  const ScopedFileHandle file(platform.CreateFileA(path, win::kGenericRead, win::kFileShareRead,
                                                   win::kOpenExisting,
                                                   win::kFileAttributeArchive));
  if (!file.IsValid()) return std::nullopt;
  std::uint32_t high = 0;
  const std::uint32_t low = platform.GetFileSize(file.Get(), high);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

}  // namespace

bool TQVVideoFilesEnumerator::IsSubDirectory(const FindData& entry) {
  return (entry.FileAttributes & win::kFileAttributeDirectory) != 0 && entry.FileName != "." &&
         entry.FileName != "..";
}

bool TQVVideoFilesEnumerator::IsVideoFile(const FindData& entry) {
  const std::string ext = AsciiLowerCase(ExtractFileExt(entry.FileName));
  return std::find(kVideoFileExts.begin(), kVideoFileExts.end(), ext) != kVideoFileExts.end();
}

std::int64_t TQVVideoFilesEnumerator::GetFileSize64(const std::string& path) {
  return ProbeFileSize(path).value_or(0);
}

void TQVVideoFilesEnumerator::AddFile(std::string path, std::int64_t size) {
  files_.push_back({std::move(path), size});
}

void TQVVideoFilesEnumerator::FindFiles(const std::string& mask) {
  std::vector<FileIdentity> ancestors;
  Walk(mask, ancestors);
}

namespace {

// Whether the listed name of `entry`, looked up on its own at `path`, finds
// that entry: 8.3 names are unique within a folder, so the one found tells.
// Cheap where opening by an 8.3 name is not: Wine, for one, hashes every
// name of the folder to find it.
bool FindsItself(const std::string& path, const FindData& entry) {
  // Wildcards to FindFirstFileA, which match the entry whether its name
  // opens or not: '?' stands in for what the code page lacks, and names that
  // Windows forbids come from other systems' discs and shares.
  if (entry.FileName.find_first_of("*?<>\"") != std::string::npos) return false;
  FindData found;
  const ScopedFindHandle listing(ThePlatform().FindFirstFileA(path, found));
  return listing.IsValid() && found.AlternateFileName == entry.AlternateFileName;
}

}  // namespace

// Names the ANSI code page cannot represent come back from the listing
// changed: '?' for the characters it lacks, or a look-alike ('é' as 'e');
// and Windows drops a folder's trailing dot when it reads a path. Such a name
// opens nothing, or a neighbour that bears it ("Cafe" beside "Café"). The 8.3
// name, when the volume keeps one, reaches the entry itself: it is used
// whenever the listed name does not reach that same entry, so every other
// path stays exactly as listed.
std::string TQVVideoFilesEnumerator::EntryPath(const std::string& dir, const FindData& entry) {
  std::string path = dir + entry.FileName;
  if (entry.AlternateFileName.empty() || FindsItself(path, entry)) return path;
  std::string shortPath = dir + entry.AlternateFileName;
  // A folder is tried as the walk goes on to use it, with '\' after it: at
  // the end of a path Windows drops all trailing spaces and dots, which would
  // make "Dir " the neighbour "Dir" and ".. " the folder being listed.
  const std::string tail = IsSubDirectory(entry) ? "\\" : "";
  const std::optional<FileIdentity> itself = EntryIdentity(shortPath + tail);
  if (itself && EntryIdentity(path + tail) != itself) return shortPath;
  return path;
}

bool TQVVideoFilesEnumerator::Walk(const std::string& mask, std::vector<FileIdentity>& ancestors) {
  const std::string dir = ExtractFilePath(mask);
  const std::optional<FileIdentity> identity = EntryIdentity(dir);
  if (identity) {
    // A link or junction back to a folder being walked above: entering it
    // would list the same files again and again, down to the path limit.
    if (std::find(ancestors.begin(), ancestors.end(), *identity) != ancestors.end()) return true;
    ancestors.push_back(*identity);
  }

  Platform& platform = ThePlatform();
  FindData entry;
  ScopedFindHandle listing(platform.FindFirstFileA(mask, entry));
  const bool listed = listing.IsValid();
  if (listed) {
    do {
      if (IsSubDirectory(entry)) {
        const std::string path = EntryPath(dir, entry);
        // Near the path limit a folder may open by its listed name and still
        // be too long to list with "\*.*" added; its 8.3 name is shorter.
        if (!Walk(path + "\\*.*", ancestors) && !entry.AlternateFileName.empty() &&
            path == dir + entry.FileName) {
          Walk(dir + entry.AlternateFileName + "\\*.*", ancestors);
        }
      } else if (IsVideoFile(entry)) {
        std::string path = EntryPath(dir, entry);
        const std::int64_t size = GetFileSize64(path);
        AddFile(std::move(path), size);
      }
    } while (platform.FindNextFileA(listing.Get(), entry));
  }
  if (identity) ancestors.pop_back();
  return listed;
}

// --- Ordering -------------------------------------------------------------

int CompareByName(const TVideoFileList& files, int i1, int i2) {
  const std::string name1 = ExtractFileName(files[static_cast<std::size_t>(i1)].Path);
  const std::string name2 = ExtractFileName(files[static_cast<std::size_t>(i2)].Path);
  // CompareStringA answers 1, 2 or 3 for less, equal, greater (0 on failure).
  return ThePlatform().CompareStringA(win::kNormIgnoreCase, name1, name2) - win::kCstrEqual;
}

int CompareByNameDesc(const TVideoFileList& files, int i1, int i2) {
  return CompareByName(files, i2, i1);
}

int CompareBySize(const TVideoFileList& files, int i1, int i2) {
  const TVideoFile& file1 = files[static_cast<std::size_t>(i1)];
  const TVideoFile& file2 = files[static_cast<std::size_t>(i2)];
  if (file1.Size == file2.Size) return AsciiCompareText(file1.Path, file2.Path);
  return file1.Size > file2.Size ? 1 : -1;
}

int CompareBySizeDesc(const TVideoFileList& files, int i1, int i2) {
  return CompareBySize(files, i2, i1);
}

namespace {

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
    if (left < j) QuickSortRange(files, left, j, compare);
    left = i;
  }
}

// Bytewise, as unsigned values: the order of the keys is CompareStringA's.
int CompareNameKeys(const TVideoFileList& files, int i1, int i2) {
  return files[static_cast<std::size_t>(i1)].NameKey.compare(
      files[static_cast<std::size_t>(i2)].NameKey);
}

int CompareNameKeysDesc(const TVideoFileList& files, int i1, int i2) {
  return CompareNameKeys(files, i2, i1);
}

}  // namespace

void QuickSort(TVideoFileList& files, TVideoFileCompare compare) {
  if (files.size() > 1) QuickSortRange(files, 0, static_cast<int>(files.size()) - 1, compare);
}

// CompareByName cuts both file names from their paths and has the locale
// compare them, twice for each of the n log n comparisons; under Wine that
// was most of a run's own work on a large collection. A sort key does the
// locale's work once per file, and the keys of two names compare as
// CompareStringA compares the names, with the same sign every time. The
// quicksort asks the same questions and gets the same answers, so the order,
// ties between equal names included, is CompareByName's.
void SortByName(TVideoFileList& files, bool descending) {
  Platform& platform = ThePlatform();
  for (TVideoFile& file : files) {
    file.NameKey =
        platform.LCMapStringA(win::kLcmapSortKey | win::kNormIgnoreCase, ExtractFileName(file.Path));
  }
  QuickSort(files, descending ? CompareNameKeysDesc : CompareNameKeys);
  for (TVideoFile& file : files) std::string().swap(file.NameKey);  // memory back at once
}

void TQVVideoFilesEnumerator::Sort() {
  switch (SortMode) {
    case smNameAsc:
      SortByName(files_, false);
      break;
    case smNameDesc:
      SortByName(files_, true);
      break;
    case smSizeAsc:
      QuickSort(files_, CompareBySize);
      break;
    case smSizeDesc:
      QuickSort(files_, CompareBySizeDesc);
      break;
    default:
      break;  // smNone and any other value: as found
  }
}

}  // namespace reelstart
