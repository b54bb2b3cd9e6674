// What Windows would not do for a correct program (a find handle given to
// CloseHandle, a handle closed twice), a test's setup naming nothing, a
// planned failure that never came: the test platforms report it here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace reelstart {

// Called with a message naming the misuse ("FindClose on a file handle
// 0x104"). The default prints the message and aborts; the unit tests make it
// a test failure.
extern std::function<void(const std::string& message)> OnMisuse;
void Misuse(const std::string& message);
// A handle or key as the reports name it: "0x104".
std::string Hex(std::uintptr_t value);

// Takes the misuse reports of its lifetime instead of OnMisuse: for the
// tests of the test platforms themselves.
class MisuseLog {
 public:
  MisuseLog();
  ~MisuseLog();
  MisuseLog(const MisuseLog&) = delete;
  MisuseLog& operator=(const MisuseLog&) = delete;
  std::vector<std::string> Reports;

 private:
  std::function<void(const std::string&)> previous_;
};

}  // namespace reelstart
