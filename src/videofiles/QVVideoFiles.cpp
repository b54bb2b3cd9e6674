#include "videofiles/QVVideoFiles.h"

#include <utility>

#include "videofiles/QVOrdering.h"
#include "videofiles/QVPlaylist.h"

namespace reelstart {

void TQVVideoFiles::AddFile(std::string path, std::int64_t size) {
  files_.push_back({std::move(path), size});
}

void TQVVideoFiles::Sort() { SortVideoFiles(files_, SortMode, leadBytes_); }

bool TQVVideoFiles::CreatePlaylist(const std::string& author, const std::string& publisher,
                                   const std::string& copyright, std::string& playlistFile) {
  playlistFile.clear();
  if (Count() == 0) return false;
  Sort();
  const std::string text = PlaylistText(files_, author, publisher, copyright, leadBytes_);
  playlistFile = PlaylistFileName(leadBytes_);
  SaveToFile(playlistFile, text);
  return true;
}

}  // namespace reelstart
