// The calling thread's last error, one for all the stand-in's models
// (support/Platform_mem.h): each call that sets it on Windows sets it here.
#pragma once

#include <cstdint>

#include "support/Win32Constants.h"

namespace reelstart::standin {

class LastError {
 public:
  // What a successful call leaves as the last error where Windows does not
  // say: not ERROR_SUCCESS, nor what an earlier failure left, so that the
  // program reads an error right after the call that failed, and only then.
  static constexpr long kLeftBySuccess = win::kErrorAlreadyExists;

  [[nodiscard]] std::uint32_t Value() const { return value_; }
  void Set(long error) { value_ = static_cast<std::uint32_t>(error); }
  void Succeeded() { value_ = kLeftBySuccess; }

 private:
  std::uint32_t value_ = 0;
};

}  // namespace reelstart::standin
