// The program's run: collect the video files of the executable's folder
// tree, order them, write them as an ASX playlist, have the shell open it and
// record the start; or, asked for help, show the help box.
#pragma once

#include "common/DateFormat.h"
#include "videofiles/VideoFile.h"

namespace reelstart {

class TQVFileVersionInfo;
class TQVVideoFilesEnumerator;

class TQVVideoFilesProcessor {
 public:
  TQVVideoFilesProcessor() = delete;

  // One run of the program; errors propagate to the caller. Reads the
  // locale's settings and the code page's lead bytes before anything else.
  static void Execute();
  // The order the switches ask for: "no" wins; then "size" (or no "name")
  // orders by size, descending unless only "asc" is given; otherwise by
  // name, ascending unless only "desc" is given.
  static TSortMode GetSortMode();
  // The help box: string resource 65437 filled with the executable's name
  // and the switch names, captioned with the product name.
  static void ShowHelp(const TQVFileVersionInfo& versionInfo, const TLeadBytes& leadBytes);

  // Records the start statistics under "Software\<company>\<internal
  // name>\<product version>" of HKEY_LOCAL_MACHINE, then of
  // HKEY_CURRENT_USER (WriteStartStatistics); dates as `settings` show them.
  // Raises ERegistryException at the first value that cannot be written or
  // read; what was written before it stays.
  static void SaveStatistics(const TQVVideoFilesEnumerator& enumerator,
                             const TQVFileVersionInfo& versionInfo,
                             const TFormatSettings& settings);
};

}  // namespace reelstart
