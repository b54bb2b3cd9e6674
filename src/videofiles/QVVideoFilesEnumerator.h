// The video files of a folder tree: the walk, and what it takes of each
// entry it lists. The list it fills and its order: QVVideoFiles.h.
#pragma once

#include <string>

#include "common/Text.h"
#include "platform/Platform.h"
#include "videofiles/QVVideoFiles.h"

namespace reelstart {

class TQVVideoFilesEnumerator : public TQVVideoFiles {
 public:
  // `leadBytes`: those of the ANSI code page the listed names are in.
  explicit TQVVideoFilesEnumerator(const TLeadBytes& leadBytes = {}) : TQVVideoFiles(leadBytes) {}

  // Adds every video file under the folder of `mask` (a folder followed by
  // "*.*"), at any depth, depth-first in listing order. Folders that cannot
  // be listed add nothing; files that cannot be opened get size 0. A folder
  // named with dots alone ("...") is walked by that name where it reaches
  // the folder itself, else by its 8.3 name; without one, it is left out. A
  // drive's recycle bin is not walked.
  //
  // Folder links bound the walk. On a volume that tells folders apart (by
  // file index), a link that leads back to a folder being walked above it is
  // not entered, nor one that leads to a folder already listed through
  // another link, so no folder is listed more than twice (once by its own
  // path, once through links) and a film reached through two links is listed
  // once. On one that cannot, every link found in a folder reached by its
  // own path is entered, and none found below a link: a folder is listed by
  // its own path, where the tree has one, and once more through each such
  // link that leads to it or to a folder above it, a link back included. The
  // walk stays bounded, in proportion to those links, but a folder may be
  // listed more than twice.
  void FindFiles(const std::string& mask);

  // Whether the entry is a folder other than "." and "..".
  static bool IsSubDirectory(const FindData& entry);
  // Whether the entry's name ends in one of the twelve video extensions, in
  // any case.
  static bool IsVideoFile(const FindData& entry, const TLeadBytes& leadBytes);
};

}  // namespace reelstart
