// The ASX playlist writer.
#pragma once

#include <string>

#include "common/Text.h"
#include "videofiles/VideoFile.h"

namespace reelstart {

// The playlist text of `files` in their present order: a four-line header
// naming `author`, `publisher` and `copyright`, four lines per film (its
// path as it is, its file name without extension as title), "</ASX>"; every
// line closed by CR LF. Nothing is escaped.
std::string PlaylistText(const TVideoFileList& files, const std::string& author,
                         const std::string& publisher, const std::string& copyright,
                         const TLeadBytes& leadBytes);

// Where the playlist goes: the folder named by "TMP" as it is set, then "\"
// and the executable's file name with the extension ".asx". TMP unset or
// empty: the system's temporary folder.
std::string PlaylistFileName(const TLeadBytes& leadBytes);

// Creates `fileName` (or truncates it) and writes `text` with one write.
// Raises EFCreateError when the file cannot be created, EWriteError when
// fewer bytes were written; the file is closed on every path.
void SaveToFile(const std::string& fileName, const std::string& text);

}  // namespace reelstart
