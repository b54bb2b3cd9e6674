// The process command line, split the way the program reads its switches.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace reelstart {

// Splits `commandLine` into arguments; argument 0 is the program as typed.
// Bytes 0x01 to 0x20 separate arguments; at the start of an argument each
// pair of adjacent double quotes is skipped, so "" is no argument. A double
// quote inside an argument opens a stretch that runs to the next double quote
// (or the end) and may hold separators; the quotes are dropped. A backslash
// is an ordinary byte. This is not the C runtime's argv rule.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Whether an argument after argument 0 is `name` led by '-' or '/', the rest
// compared whole, locale-aware and case-blind.
bool FindSwitch(std::string_view name);

}  // namespace reelstart
