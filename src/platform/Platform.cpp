#include "platform/Platform.h"

namespace reelstart {

namespace {
Platform* current = nullptr;
}

Platform& ThePlatform() { return *current; }

Platform* SetPlatform(Platform* platform) {
  Platform* previous = current;
  current = platform;
  return previous;
}

}  // namespace reelstart
