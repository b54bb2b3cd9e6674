// The command line as the program reads its switches: SplitCommandLine over
// any bytes, and FindSwitch over them as the process command line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "common/CommandLine.h"
#include "support/Platform_mem.h"

namespace {

using reelstart::FindSwitch;
using reelstart::SplitCommandLine;

constexpr bool IsSeparator(char c) { return c != '\0' && static_cast<unsigned char>(c) <= ' '; }

// The arguments of a line without double quotes: the runs of bytes above 0x20.
std::vector<std::string> SplitWithoutQuotes(std::string_view line) {
  std::vector<std::string> arguments;
  std::size_t pos = 0;
  for (;;) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    if (pos == line.size()) break;
    const std::size_t start = pos;
    while (pos < line.size() && !IsSeparator(line[pos])) ++pos;
    arguments.emplace_back(line.substr(start, pos - start));
  }
  if (arguments.empty()) arguments.emplace_back();
  return arguments;
}

void CheckSplit(std::string_view raw) {
  const std::string_view line = raw.substr(0, raw.find('\0'));
  const std::vector<std::string> arguments = SplitCommandLine(raw);
  FUZZ_CHECK(!arguments.empty());
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    // Only argument 0 may be empty: an empty one anywhere else would end the
    // list early or be taken for a switch.
    FUZZ_CHECK(i == 0 || !arguments[i].empty());
    FUZZ_CHECK(arguments[i].find('"') == std::string::npos);
    FUZZ_CHECK(arguments[i].find('\0') == std::string::npos);
    bytes += arguments[i].size();
  }
  FUZZ_CHECK(bytes <= line.size());

  if (line.find('"') == std::string_view::npos) {
    FUZZ_CHECK(arguments == SplitWithoutQuotes(line));
  }
  // Each argument quoted whole reads back as itself.
  if (!arguments[0].empty()) {
    std::string quoted;
    for (const std::string& argument : arguments) quoted += " \"" + argument + "\"";
    FUZZ_CHECK(SplitCommandLine(quoted) == arguments);
  }
}

void CheckSwitches(const std::string& line) {
  reelstart::MemoryPlatform platform;
  platform.CommandLine = line;
  const std::vector<std::string> arguments = SplitCommandLine(line);

  // Every argument led by '-' or '/' is found by its own name (the first
  // few: each look-up splits the whole line again).
  for (std::size_t i = 1; i < arguments.size() && i <= 8; ++i) {
    const std::string& argument = arguments[i];
    if (argument[0] == '-' || argument[0] == '/') {
      FUZZ_CHECK(FindSwitch(std::string_view(argument).substr(1)));
    }
  }

  const bool quotesClosed = std::count(line.begin(), line.end(), '"') % 2 == 0;
  for (const std::string_view name : {"?", "help", "name", "size", "no", "asc", "desc"}) {
    if (FindSwitch(name)) {
      // Switch names compare as the user's locale does, where a soft hyphen
      // (0xAD) weighs nothing, on Windows and Wine alike: "-a\xADsc" is /asc.
      const bool typed =
          std::any_of(arguments.begin() + 1, arguments.end(), [&](const std::string& a) {
            const auto weighing = a.size() - static_cast<std::size_t>(std::count(a.begin(), a.end(), '\xAD'));
            return weighing == name.size() + 1 && (a[0] == '-' || a[0] == '/');
          });
      FUZZ_CHECK(typed);
    } else if (quotesClosed && line.find('\0') == std::string::npos) {
      // A switch typed after any line whose quotes are closed is seen ("x"
      // stands for the program when the line has no argument at all).
      platform.CommandLine = line + " x -" + std::string(name);
      FUZZ_CHECK(FindSwitch(name));
      platform.CommandLine = line;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  CheckSplit(line);
  CheckSwitches(line);
  return 0;
}
