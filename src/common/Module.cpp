#include "common/Module.h"

#include "platform/Platform.h"

namespace reelstart {

namespace {

bool IsFile(Platform& platform, const std::string& path) {
  const std::uint32_t attributes = platform.GetFileAttributesA(path);
  return attributes != win::kInvalidFileAttributes &&
         (attributes & win::kFileAttributeDirectory) == 0;
}

}  // namespace

std::string ExecutablePath() {
  Platform& platform = ThePlatform();
  std::string path = platform.GetModuleFileNameA();
  if (IsFile(platform, path)) return path;
  std::string shortPath = platform.GetShortModuleFileNameA();
  return !shortPath.empty() && IsFile(platform, shortPath) ? shortPath : path;
}

}  // namespace reelstart
