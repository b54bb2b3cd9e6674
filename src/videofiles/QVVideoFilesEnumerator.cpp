#include "videofiles/QVVideoFilesEnumerator.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "common/Paths.h"
#include "videofiles/QVEntryPaths.h"
#include "videofiles/QVFileProbe.h"
#include "videofiles/QVLinkBound.h"

namespace reelstart {

namespace {

constexpr std::array<std::string_view, 12> kVideoFileExts = {
    ".avi", ".divx", ".dvr-ms", ".m1v", ".mp2",  ".mpeg",
    ".mpa", ".mpe",  ".mpg",    ".mpv2", ".mp2v", ".wmv",
};

// Whether the entry is a drive's recycle bin: "$RECYCLE.BIN" (Vista on),
// "RECYCLER" or "RECYCLED" (XP, 9x), in any case, hidden and system both.
// It keeps each deleted film under its own extension, beside a record named
// like a film too: not the user's films. A folder of such a name without
// both attributes is the user's own.
bool IsRecycleBin(const FindData& entry) {
  constexpr std::uint32_t kHiddenSystem = win::kFileAttributeHidden | win::kFileAttributeSystem;
  if (!TQVVideoFilesEnumerator::IsSubDirectory(entry) ||
      (entry.FileAttributes & kHiddenSystem) != kHiddenSystem) {
    return false;
  }
  const std::string name = AsciiLowerCase(entry.FileName);
  return name == "$recycle.bin" || name == "recycler" || name == "recycled";
}

// One walk of a folder tree, adding its films to `films`.
class TTreeWalk {
 public:
  TTreeWalk(TQVVideoFiles& films, const TLeadBytes& leadBytes)
      : films_(films), leadBytes_(leadBytes) {}

  // Lists the folder of `mask` and, depth first, those below it;
  // `throughLink`: the way down to it passed a folder link. Answers false
  // when the folder cannot be listed.
  bool Walk(const std::string& mask, bool throughLink);

 private:
  // Size 0 may be a film that does not open: by its 8.3 name if the listed
  // one leads nowhere. (A film that exists but cannot be read keeps the name
  // it was listed by.)
  void AddFilm(const TEntryPath& reach);

  TQVVideoFiles& films_;
  const TLeadBytes& leadBytes_;
  TQVLinkBound bound_;
};

bool TTreeWalk::Walk(const std::string& mask, bool throughLink) {
  const std::optional<TQVListing> listing = TQVListing::Read(mask, leadBytes_);
  if (!listing) return false;
  bound_.Enter(listing->Dir());
  for (std::size_t i = 0; i < listing->Entries().size(); ++i) {
    const FindData& entry = listing->Entries()[i];
    if (IsRecycleBin(entry)) continue;
    const std::optional<TEntryPath> reach = listing->PathOf(i);
    if (!reach) continue;
    if (TQVVideoFilesEnumerator::IsSubDirectory(entry)) {
      const bool link = (entry.FileAttributes & win::kFileAttributeReparsePoint) != 0;
      if ((link || throughLink) &&
          !bound_.Admit(reach->Path, reach->ShortPath, link, throughLink)) {
        continue;
      }
      // The 8.3 name also reaches a folder whose listed name opens nothing,
      // or whose path is too long to list with "\*.*" added.
      if (!Walk(reach->Path + "\\*.*", throughLink || link) && !reach->ShortPath.empty()) {
        Walk(reach->ShortPath + "\\*.*", throughLink || link);
      }
    } else if (TQVVideoFilesEnumerator::IsVideoFile(entry, leadBytes_)) {
      AddFilm(*reach);
    }
  }
  bound_.Leave();
  return true;
}

void TTreeWalk::AddFilm(const TEntryPath& reach) {
  std::string path = reach.Path;
  std::int64_t size = GetFileSize64(path);
  if (size == 0 && !reach.ShortPath.empty() && !Exists(path)) {
    path = reach.ShortPath;
    size = GetFileSize64(path);
  }
  films_.AddFile(std::move(path), size);
}

}  // namespace

bool TQVVideoFilesEnumerator::IsSubDirectory(const FindData& entry) {
  return (entry.FileAttributes & win::kFileAttributeDirectory) != 0 && entry.FileName != "." &&
         entry.FileName != "..";
}

bool TQVVideoFilesEnumerator::IsVideoFile(const FindData& entry, const TLeadBytes& leadBytes) {
  const std::string ext = AsciiLowerCase(ExtractFileExt(entry.FileName, leadBytes));
  return std::find(kVideoFileExts.begin(), kVideoFileExts.end(), ext) != kVideoFileExts.end();
}

void TQVVideoFilesEnumerator::FindFiles(const std::string& mask) {
  TTreeWalk(*this, LeadBytes()).Walk(mask, false);
}

}  // namespace reelstart
