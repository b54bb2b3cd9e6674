#include "videofiles/QVEntryPaths.h"

#include <algorithm>
#include <utility>

#include "common/Paths.h"
#include "platform/ScopedHandle.h"
#include "videofiles/QVFileProbe.h"
#include "videofiles/QVVideoFilesEnumerator.h"

namespace reelstart {

namespace {

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

// Names the ANSI code page cannot represent come back from the listing
// changed: '?' for the characters it lacks, or a look-alike ('e' for 'é');
// and Windows reads a folder "Trail." as "Trail". Such a name opens nothing,
// or a neighbour of the same folder that bears it ("Cafe" beside "Café").
// The 8.3 name, when the volume keeps one, reaches the entry itself: it is
// taken where a name that reads as a neighbour's does finds the neighbour,
// and where a name opens nothing. For each entry: whether its name reads,
// to a path, as a neighbour's does.
std::vector<bool> Ambiguous(const std::vector<FindData>& entries) {
  std::vector<std::string> readAs;
  readAs.reserve(entries.size());
  std::vector<bool> ambiguous(entries.size(), false);
  for (const FindData& entry : entries) {
    readAs.push_back(ReadAs(entry.FileName, TQVVideoFilesEnumerator::IsSubDirectory(entry)));
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

// A name of dots alone other than "." and ".." ("...", "....").
bool OnlyDots(const std::string& name) {
  return name.find_first_not_of('.') == std::string::npos && name != "." && name != "..";
}

// Whether the folder `entries[i]`, named with dots alone, is what its listed
// name reaches as a folder on a path. Platforms read such a name each their
// own way; a name of four dots or more loses one trailing dot on all of them:
//
//   reading        X\...\ reaches            X\....\ reaches
//   Wine (8.0)     nothing (a literal "..")  X\...
//   Windows        X\... itself              X\...
//   folder above   the folder above X        X\...
//
// (Windows as Microsoft documents it; the folder above as a program that
// takes GetFullPathNameA's "..\" for it would.) So the path itself is asked.
// With an 8.3 name, the folder's identity through it tells. Without one, the
// folder reached must be none that the name with dots taken off could reach:
// neither the folder listed nor the one above ("." and ".."), nor another
// name of dots alone of the listing, known by its 8.3 name or, if shorter,
// by its own. (A shorter one that no path reaches may then be taken for the
// longer: its films are listed under the longer name, once, by a path that
// opens them.)
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

TQVListing::TQVListing(std::string dir, std::vector<FindData> entries)
    : dir_(std::move(dir)), entries_(std::move(entries)), ambiguous_(Ambiguous(entries_)) {}

std::optional<TQVListing> TQVListing::Read(const std::string& mask, const TLeadBytes& leadBytes) {
  Platform& platform = ThePlatform();
  std::vector<FindData> entries(1);
  {
    const ScopedFindHandle listing(platform.FindFirstFileA(mask, entries.back()));
    if (!listing.IsValid()) return std::nullopt;
    do {
      entries.emplace_back();
    } while (platform.FindNextFileA(listing.Get(), entries.back()));
  }
  entries.pop_back();
  return TQVListing(ExtractFilePath(mask, leadBytes), std::move(entries));
}

std::optional<TEntryPath> TQVListing::PathOf(std::size_t i) const {
  const FindData& entry = entries_[i];
  const std::string& shortName = entry.AlternateFileName;
  bool byShortName = false;
  if (OnlyDots(entry.FileName)) {
    // On a path it may read as another folder's name: walked by the name
    // that reaches the folder itself, if any. (No film bears such a name.)
    if (!TQVVideoFilesEnumerator::IsSubDirectory(entry)) return std::nullopt;
    byShortName = !ReachesItself(dir_, entries_, i);
    if (byShortName && shortName.empty()) return std::nullopt;
  } else {
    byShortName = ambiguous_[i] && !shortName.empty() && !FindsItself(dir_ + entry.FileName, entry);
  }
  if (byShortName) return TEntryPath{dir_ + shortName, ""};
  return TEntryPath{dir_ + entry.FileName, shortName.empty() ? "" : dir_ + shortName};
}

}  // namespace reelstart
