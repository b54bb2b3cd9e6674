#include "support/Misuse.h"

#include <cstdio>
#include <cstdlib>

namespace reelstart {

std::function<void(const std::string&)> OnMisuse = [](const std::string& message) {
  std::fprintf(stderr, "Platform misuse: %s\n", message.c_str());
  std::abort();
};

void Misuse(const std::string& message) {
  if (OnMisuse) {
    OnMisuse(message);
  } else {
    std::fprintf(stderr, "Platform misuse: %s\n", message.c_str());
    std::abort();
  }
}

std::string Hex(std::uintptr_t value) {
  char text[2 + 2 * sizeof value + 1];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

MisuseLog::MisuseLog() : previous_(OnMisuse) {
  OnMisuse = [this](const std::string& message) { Reports.push_back(message); };
}

MisuseLog::~MisuseLog() { OnMisuse = previous_; }

}  // namespace reelstart
