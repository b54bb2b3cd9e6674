#include "videofiles/QVVideoFilesEnumerator.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "common/Paths.h"
#include "videofiles/QVEntryPaths.h"
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

bool TQVVideoFilesEnumerator::Walk(const std::string& mask, TQVLinkBound& bound, bool throughLink) {
  const std::optional<TQVListing> listing = TQVListing::Read(mask, leadBytes_);
  if (!listing) return false;
  bound.Enter(listing->Dir());
  for (std::size_t i = 0; i < listing->Entries().size(); ++i) {
    const FindData& entry = listing->Entries()[i];
    if (IsRecycleBin(entry)) continue;
    const std::optional<TEntryPath> reach = listing->PathOf(i);
    if (!reach) continue;
    if (IsSubDirectory(entry)) {
      const bool link = (entry.FileAttributes & win::kFileAttributeReparsePoint) != 0;
      if ((link || throughLink) && !bound.Admit(reach->Path, reach->ShortPath, link, throughLink)) {
        continue;
      }
      // The 8.3 name also reaches a folder whose listed name opens nothing,
      // or whose path is too long to list with "\*.*" added.
      if (!Walk(reach->Path + "\\*.*", bound, throughLink || link) && !reach->ShortPath.empty()) {
        Walk(reach->ShortPath + "\\*.*", bound, throughLink || link);
      }
    } else if (IsVideoFile(entry, leadBytes_)) {
      std::string path = reach->Path;
      std::int64_t size = GetFileSize64(path);
      // Size 0 may be a film that does not open: by its 8.3 name if the
      // listed one leads nowhere. (A film that exists but cannot be read
      // keeps the name it was listed by.)
      if (size == 0 && !reach->ShortPath.empty() && !Exists(path)) {
        path = reach->ShortPath;
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
