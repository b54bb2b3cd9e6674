#include "videofiles/QVVideoFilesEnumerator.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "common/Paths.h"
#include "platform/ScopedHandle.h"
#include "videofiles/QVFileProbe.h"
#include "videofiles/QVLinkBound.h"
#include "videofiles/QVOrdering.h"
#include "videofiles/QVPlaylist.h"

namespace reelstart {

namespace {

constexpr std::array<std::string_view, 12> kVideoFileExts = {
    ".avi", ".divx", ".dvr-ms", ".m1v", ".mp2",  ".mpeg",
    ".mpa", ".mpe",  ".mpg",    ".mpv2", ".mp2v", ".wmv",
};

}  // namespace

bool TQVVideoFilesEnumerator::IsSubDirectory(const FindData& entry) {
  return (entry.FileAttributes & win::kFileAttributeDirectory) != 0 && entry.FileName != "." &&
         entry.FileName != "..";
}

bool TQVVideoFilesEnumerator::IsRecycleBin(const FindData& entry) {
  constexpr std::uint32_t kHiddenSystem = win::kFileAttributeHidden | win::kFileAttributeSystem;
  if (!IsSubDirectory(entry) || (entry.FileAttributes & kHiddenSystem) != kHiddenSystem) {
    return false;
  }
  const std::string name = AsciiLowerCase(entry.FileName);
  return name == "$recycle.bin" || name == "recycler" || name == "recycled";
}

bool TQVVideoFilesEnumerator::IsVideoFile(const FindData& entry, const TLeadBytes& leadBytes) {
  const std::string ext = AsciiLowerCase(ExtractFileExt(entry.FileName, leadBytes));
  return std::find(kVideoFileExts.begin(), kVideoFileExts.end(), ext) != kVideoFileExts.end();
}

void TQVVideoFilesEnumerator::AddFile(std::string path, std::int64_t size) {
  files_.push_back({std::move(path), size});
}

void TQVVideoFilesEnumerator::FindFiles(const std::string& mask) {
  TQVLinkBound bound;
  Walk(mask, bound, false);
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

// A name of dots alone other than "." and ".." ("...", "....").
bool OnlyDots(const std::string& name) {
  return name.find_first_not_of('.') == std::string::npos && name != "." && name != "..";
}

// Whether the folder `entries[i]`, named with dots alone, is what its listed
// name reaches as a folder on a path. Platforms read such a name each their
// own way. Microsoft documents a name of three dots or more as a name, not
// normalised, but for a single trailing dot taken off: "....\" reads as
// "...\". Wine takes that dot off too, and reads "...\" as "..\", for
// which GetFullPathNameA answers the folder above and opening answers
// nothing. So the path itself is asked. With an 8.3 name, the folder's
// identity through it tells. Without one, the folder reached must be none
// that the name with dots taken off could reach: neither the folder listed
// nor the one above ("." and ".."), nor another name of dots alone of the
// listing, known by its 8.3 name or, if shorter, by its own. (A shorter one
// that no path reaches may then be taken for the longer: its films are
// listed under the longer name, once, by a path that opens them.)
bool ReachesItself(const std::string& dir, const std::vector<FindData>& entries, std::size_t i) {
  const auto reaches = [&](const std::string& name) { return EntryIdentity(dir + name + "\\"); };
  const FindData& entry = entries[i];
  const std::optional<FileIdentity> reached = reaches(entry.FileName);
  if (!reached) return false;
  if (!entry.AlternateFileName.empty()) return reached == reaches(entry.AlternateFileName);
  for (const char* dots : {".", ".."}) {
    if (reached == reaches(dots)) return false;
  }
  for (std::size_t j = 0; j < entries.size(); ++j) {
    const FindData& other = entries[j];
    if (j == i || !OnlyDots(other.FileName)) continue;
    if ((!other.AlternateFileName.empty() && reached == reaches(other.AlternateFileName)) ||
        (other.FileName.size() < entry.FileName.size() && reached == reaches(other.FileName))) {
      return false;
    }
  }
  return true;
}

// Whether looking `path` up finds the very entry it was listed as: 8.3 names
// are unique within a folder, so the one found tells. Names with wildcards
// ('?' stands in for what the code page lacks) match more than themselves.
bool FindsItself(const std::string& path, const FindData& entry) {
  if (entry.FileName.find_first_of("*?<>\"") != std::string::npos) return false;
  FindData found;
  const ScopedFindHandle listing(ThePlatform().FindFirstFileA(path, found));
  return listing.IsValid() && found.AlternateFileName == entry.AlternateFileName;
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

bool TQVVideoFilesEnumerator::Walk(const std::string& mask, TQVLinkBound& bound, bool throughLink) {
  const std::optional<std::vector<FindData>> entries = ReadListing(mask);
  if (!entries) return false;
  const std::string dir = ExtractFilePath(mask, leadBytes_);
  bound.Enter(dir);
  const std::vector<bool> ambiguous = Ambiguous(*entries);
  for (std::size_t i = 0; i < entries->size(); ++i) {
    const FindData& entry = (*entries)[i];
    if (IsRecycleBin(entry)) continue;
    const std::string& shortName = entry.AlternateFileName;
    bool byShortName = false;
    if (OnlyDots(entry.FileName)) {
      // On a path it may read as another folder's name: walked by the name
      // that reaches the folder itself, if any. (No film bears such a name.)
      if (!IsSubDirectory(entry)) continue;
      byShortName = !ReachesItself(dir, *entries, i);
      if (byShortName && shortName.empty()) continue;
    } else {
      byShortName = ambiguous[i] && !shortName.empty() && !FindsItself(dir + entry.FileName, entry);
    }
    std::string path = dir + (byShortName ? shortName : entry.FileName);
    if (IsSubDirectory(entry)) {
      // The 8.3 name also reaches a folder whose listed name opens nothing,
      // or whose path is too long to list with "\*.*" added.
      const std::string shortPath = byShortName || shortName.empty() ? "" : dir + shortName;
      const bool link = (entry.FileAttributes & win::kFileAttributeReparsePoint) != 0;
      if ((link || throughLink) && !bound.Admit(path, shortPath, link, throughLink)) continue;
      if (!Walk(path + "\\*.*", bound, throughLink || link) && !shortPath.empty()) {
        Walk(shortPath + "\\*.*", bound, throughLink || link);
      }
    } else if (IsVideoFile(entry, leadBytes_)) {
      std::int64_t size = GetFileSize64(path);
      // Size 0 may be a file that does not open: by its 8.3 name if the
      // listed one leads nowhere. (A film that exists but cannot be read
      // keeps the name it was listed by.)
      if (size == 0 && !byShortName && !shortName.empty() && !Exists(path)) {
        path = dir + shortName;
        size = GetFileSize64(path);
      }
      AddFile(std::move(path), size);
    }
  }
  bound.Leave();
  return true;
}

void TQVVideoFilesEnumerator::Sort() { SortVideoFiles(files_, SortMode, leadBytes_); }

bool TQVVideoFilesEnumerator::CreatePlaylist(const std::string& author,
                                             const std::string& publisher,
                                             const std::string& copyright,
                                             std::string& playlistFile) {
  playlistFile.clear();
  if (Count() == 0) return false;
  Sort();
  const std::string text = PlaylistText(files_, author, publisher, copyright, leadBytes_);
  playlistFile = PlaylistFileName(leadBytes_);
  SaveToFile(playlistFile, text);
  return true;
}

}  // namespace reelstart
