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
// reading (others may read it meanwhile, but not write it) or its size read.
std::optional<std::int64_t> ProbeFileSize(const std::string& path) {
  Platform& platform = ThePlatform();
  const ScopedFileHandle file(platform.CreateFileA(path, win::kGenericRead, win::kFileShareRead,
                                                   win::kOpenExisting,
                                                   win::kFileAttributeArchive));
  if (!file.IsValid()) return std::nullopt;
  std::uint32_t high = 0;
  const std::uint32_t low = platform.GetFileSize(file.Get(), high);
  if (low == win::kInvalidFileSize && platform.GetLastError() != win::kErrorSuccess) return {};
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

// A folder on the way down from the walk's start: its identity is read only
// when a folder link below has to be compared with it.
struct TQVVideoFilesEnumerator::Ancestor {
  std::string Dir;
  bool Known = false;
  std::optional<FileIdentity> Identity;
};

void TQVVideoFilesEnumerator::FindFiles(const std::string& mask) {
  std::vector<Ancestor> ancestors;
  Walk(mask, ancestors);
}

namespace {

// The entries of one listing, "." and ".." included, in the order the file
// system gives them; nothing when the folder cannot be listed. Reading the
// listing whole before going down keeps one find handle open per folder
// level at most for as short as can be, and lets a name be compared with its
// neighbours.
std::optional<std::vector<FindData>> ReadListing(const std::string& mask) {
  Platform& platform = ThePlatform();
  std::vector<FindData> entries(1);
  const ScopedFindHandle listing(platform.FindFirstFileA(mask, entries.back()));
  if (!listing.IsValid()) return std::nullopt;
  do {
    entries.emplace_back();
  } while (platform.FindNextFileA(listing.Get(), entries.back()));
  entries.pop_back();
  return entries;
}

// The name a path reads `name` as, as Windows reads it: the last name of a
// path loses its trailing dots and spaces, a folder's name with more after it
// one trailing dot; letters in either case are the same.
std::string ReadAs(std::string name, bool folder) {
  if (folder) {
    if (!name.empty() && name.back() == '.') name.pop_back();
  } else {
    name = std::string(TrimRight(name, [](unsigned char c) { return c == '.' || c == ' '; }));
  }
  return ThePlatform().CharUpperBuffA(std::move(name));
}

// A name of dots alone other than "." and ".." ("..."): inside a path
// Windows reads it as one of those, the folder itself or the one above.
bool OnlyDots(const std::string& name) {
  return name.find_first_not_of('.') == std::string::npos && name != "." && name != "..";
}

// Whether looking `path` up finds the very entry it was listed as: 8.3 names
// are unique within a folder, so the one found tells. Names with wildcards
// ('?' stands in for what the code page lacks) match more than themselves.
bool FindsItself(const std::string& path, const FindData& entry) {
  if (entry.FileName.find_first_of("*?<>\"") != std::string::npos || OnlyDots(entry.FileName)) {
    return false;
  }
  FindData found;
  const ScopedFindHandle listing(ThePlatform().FindFirstFileA(path, found));
  return listing.IsValid() && found.AlternateFileName == entry.AlternateFileName;
}

bool Exists(const std::string& path) {
  return ThePlatform().GetFileAttributesA(path) != win::kInvalidFileAttributes;
}

}  // namespace

// Names the ANSI code page cannot represent come back from the listing
// changed: '?' for the characters it lacks, or a look-alike ('e' for 'é');
// and Windows reads a folder "Trail." as "Trail". Such a name opens nothing,
// or a neighbour of the same folder that bears it ("Cafe" beside "Café").
// The 8.3 name, when the volume keeps one, reaches the entry itself: it is
// taken where a name that reads as a neighbour's does finds the neighbour,
// and where a name opens nothing. Every other path stays exactly as listed,
// and costs no system call more.
std::vector<bool> TQVVideoFilesEnumerator::Ambiguous(const std::vector<FindData>& entries) {
  std::vector<std::string> readAs;
  readAs.reserve(entries.size());
  std::vector<bool> ambiguous(entries.size(), false);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    readAs.push_back(ReadAs(entries[i].FileName, IsSubDirectory(entries[i])));
    ambiguous[i] = OnlyDots(entries[i].FileName);
  }
  std::vector<std::size_t> order(entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return readAs[a] < readAs[b]; });
  for (std::size_t i = 1; i < order.size(); ++i) {
    if (readAs[order[i]] == readAs[order[i - 1]]) ambiguous[order[i]] = ambiguous[order[i - 1]] = true;
  }
  return ambiguous;
}

bool TQVVideoFilesEnumerator::Walk(const std::string& mask, std::vector<Ancestor>& ancestors) {
  const std::optional<std::vector<FindData>> entries = ReadListing(mask);
  if (!entries) return false;
  const std::string dir = ExtractFilePath(mask);
  ancestors.push_back({dir, false, std::nullopt});
  const std::vector<bool> ambiguous = Ambiguous(*entries);
  for (std::size_t i = 0; i < entries->size(); ++i) {
    const FindData& entry = (*entries)[i];
    const std::string& shortName = entry.AlternateFileName;
    const bool byShortName =
        ambiguous[i] && !shortName.empty() && !FindsItself(dir + entry.FileName, entry);
    std::string path = dir + (byShortName ? shortName : entry.FileName);
    if (IsSubDirectory(entry)) {
      // A link or junction back to a folder being walked above: entering it
      // would list the same files again and again, down to the path limit.
      // Only links can lead back, and only they cost the question.
      if ((entry.FileAttributes & win::kFileAttributeReparsePoint) != 0 &&
          IsAncestor(path + "\\", ancestors)) {
        continue;
      }
      // The 8.3 name also reaches a folder whose listed name opens nothing,
      // or whose path is too long to list with "\*.*" added.
      if (!Walk(path + "\\*.*", ancestors) && !byShortName && !shortName.empty()) {
        Walk(dir + shortName + "\\*.*", ancestors);
      }
    } else if (IsVideoFile(entry)) {
      std::optional<std::int64_t> size = ProbeFileSize(path);
      if (!size && !byShortName && !shortName.empty() && !Exists(path)) {
        path = dir + shortName;
        size = ProbeFileSize(path);
      }
      AddFile(std::move(path), size.value_or(0));
    }
  }
  ancestors.pop_back();
  return true;
}

bool TQVVideoFilesEnumerator::IsAncestor(const std::string& path,
                                         std::vector<Ancestor>& ancestors) {
  const std::optional<FileIdentity> identity = EntryIdentity(path);
  if (!identity) return false;
  for (TQVVideoFilesEnumerator::Ancestor& ancestor : ancestors) {
    if (!ancestor.Known) {
      ancestor.Identity = EntryIdentity(ancestor.Dir);
      ancestor.Known = true;
    }
    if (ancestor.Identity == identity) return true;
  }
  return false;
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
