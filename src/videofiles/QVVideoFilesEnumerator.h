// The video files of a folder tree: the walk, the video file test; the
// list's order and its playlist. (The size probe: QVFileProbe.h.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Text.h"
#include "platform/Platform.h"
#include "videofiles/VideoFile.h"

namespace reelstart {

class TQVLinkBound;

class TQVVideoFilesEnumerator {
 public:
  // `leadBytes`: those of the ANSI code page the listed names are in.
  explicit TQVVideoFilesEnumerator(const TLeadBytes& leadBytes = {}) : leadBytes_(leadBytes) {}

  // The program's own default order (GetSortMode without switches).
  TSortMode SortMode = smSizeDesc;

  // Adds every video file under the folder of `mask` (a folder followed by
  // "*.*"), at any depth, depth-first in listing order. Folders that cannot
  // be listed add nothing; files that cannot be opened get size 0. Folder
  // links bound the walk: one that leads back to a folder being walked above
  // it is not entered, nor one that leads to a folder already listed through
  // another link, so no folder is listed more than twice (once by its own
  // path, once through links) and a film reached through two links is
  // listed once. A folder named with dots alone ("...") is walked by that
  // name where it reaches the folder itself, else by its 8.3 name; without
  // one, it is left out. A drive's recycle bin is not walked.
  void FindFiles(const std::string& mask);

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

  static bool IsSubDirectory(const FindData& entry);
  // Whether the entry is a drive's recycle bin: "$RECYCLE.BIN" (Vista on),
  // "RECYCLER" or "RECYCLED" (XP, 9x), in any case, hidden and system both.
  // It keeps each deleted film under its own extension, beside a record
  // named like a film too: not the user's films. A folder of such a name
  // without both attributes is the user's own.
  static bool IsRecycleBin(const FindData& entry);
  static bool IsVideoFile(const FindData& entry, const TLeadBytes& leadBytes);

 private:
  // Lists one folder and, depth first, those below it; `throughLink`: the
  // way down to it passed a folder link. Answers false when the folder
  // cannot be listed.
  bool Walk(const std::string& mask, TQVLinkBound& bound, bool throughLink);

  TLeadBytes leadBytes_;
  TVideoFileList files_;
};

}  // namespace reelstart
