// The start statistics: what every run that is not a help request leaves in
// the registry.
#pragma once

#include <cstdint>
#include <string>

#include "common/Text.h"
#include "platform/Platform.h"

namespace reelstart {

// The seven values of one run, as they are written.
struct TStartStatistics {
  std::string LastStart;
  std::uint32_t VideoFilesCount = 0;
  std::string ReleaseDate;
  std::string PublisherSite;
  std::string Build;
  std::string StartDirectory;
};

// Writes "Last Start", "VideoFiles Count", "Starts Count" (the stored count
// plus one, wrapping to 0), "Release Date", "Publisher Site", "Build" and
// "Start Directory", in that order, under `keyPath` of `root`. Raises
// ERegistryException at the first value that cannot be written or read;
// what was written before it stays. The key is closed on every path.
void WriteStartStatistics(RegistryKey root, const std::string& keyPath,
                          const TStartStatistics& statistics);

// The folder of the executable at `exePath` as the statistics show it:
// without its trailing backslash, except a drive root, which keeps it ("D:\").
std::string StartDirectory(const std::string& exePath, const TLeadBytes& leadBytes);

}  // namespace reelstart
