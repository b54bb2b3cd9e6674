// The program's own executable, and the test it is found by.
#pragma once

#include <string>

namespace reelstart {

// Whether a file (not a folder) is at `fileName`.
bool FileExists(const std::string& fileName);

// The executable's full path as the run uses it: the module's ANSI path, or,
// when that leads to no file (a folder named with characters the ANSI code
// page lacks reads as '?' there), its 8.3 form, when that leads to the file.
// The module's ANSI path when neither does (a volume without 8.3 names).
std::string ExecutablePath();

}  // namespace reelstart
