// COM for the calling thread, held for a scope.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace reelstart {

// Initialises COM for the calling thread with `coInit` and releases it when
// it goes out of scope, error paths included; only a successful
// initialisation (S_OK, or S_FALSE where COM was up already) is released.
// A failure leaves the thread as it was: what runs in the scope runs
// without, as it would have.
class ScopedCom {
 public:
  explicit ScopedCom(std::uint32_t coInit)
      : initialised_(ThePlatform().CoInitializeEx(coInit) >= 0) {}
  ~ScopedCom() {
    if (initialised_) ThePlatform().CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;

 private:
  bool initialised_;
};

}  // namespace reelstart
