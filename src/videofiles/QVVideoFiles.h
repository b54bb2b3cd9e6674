// The list of video files found and its order: what the walk adds to, what
// the playlist is written from.
#pragma once

#include <cstdint>
#include <string>

#include "common/Text.h"
#include "videofiles/VideoFile.h"

namespace reelstart {

class TQVVideoFiles {
 public:
  // `leadBytes`: those of the ANSI code page the paths are in.
  explicit TQVVideoFiles(const TLeadBytes& leadBytes = {}) : leadBytes_(leadBytes) {}

  // The program's own default order (GetSortMode without switches).
  TSortMode SortMode = smSizeDesc;

  [[nodiscard]] int Count() const { return static_cast<int>(files_.size()); }
  [[nodiscard]] const TVideoFileList& Files() const { return files_; }
  void AddFile(std::string path, std::int64_t size);

  // Orders Files by SortMode.
  void Sort();

  // Sorts the list and writes it as an ASX playlist named after the
  // executable into the folder named by "TMP"; stores its path in
  // `playlistFile`. Answers false, touching nothing, when the list is empty.
  // Raises EFCreateError when the file cannot be created and EWriteError
  // when it is not written whole.
  bool CreatePlaylist(const std::string& author, const std::string& publisher,
                      const std::string& copyright, std::string& playlistFile);

 protected:
  [[nodiscard]] const TLeadBytes& LeadBytes() const { return leadBytes_; }

 private:
  TLeadBytes leadBytes_;
  TVideoFileList files_;
};

}  // namespace reelstart
