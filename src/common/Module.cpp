#include "common/Module.h"

#include "platform/Platform.h"

namespace reelstart {

bool FileExists(const std::string& fileName) {
  const std::uint32_t attributes = ThePlatform().GetFileAttributesA(fileName);
  return attributes != win::kInvalidFileAttributes &&
         (attributes & win::kFileAttributeDirectory) == 0;
}

std::string ExecutablePath() {
  Platform& platform = ThePlatform();
  std::string path = platform.GetModuleFileNameA();
  if (FileExists(path)) return path;
  std::string shortPath = platform.GetShortModuleFileNameA();
  return !shortPath.empty() && FileExists(shortPath) ? shortPath : path;
}

}  // namespace reelstart
