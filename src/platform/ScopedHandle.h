// One owner for every handle the program opens through the platform.
#pragma once

#include <utility>

#include "platform/Platform.h"

namespace reelstart {

// Owns one handle and closes it with Traits::Close when it goes out of scope,
// error paths included. Uncopyable; Detach hands the handle over unclosed.
template <class Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }

  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Detach()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Detach();
    }
    return *this;
  }

  [[nodiscard]] bool IsValid() const { return handle_ != Traits::Invalid(); }
  [[nodiscard]] Handle Get() const { return handle_; }
  Handle Detach() { return std::exchange(handle_, Traits::Invalid()); }
  void Close() {
    if (IsValid()) Traits::Close(Detach());
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct FileHandleTraits {
  using Handle = NativeHandle;
  static constexpr Handle Invalid() { return kInvalidHandleValue; }
  static void Close(Handle handle) { ThePlatform().CloseHandle(handle); }
};

struct FindHandleTraits {
  using Handle = NativeHandle;
  static constexpr Handle Invalid() { return kInvalidHandleValue; }
  static void Close(Handle handle) { ThePlatform().FindClose(handle); }
};

struct RegistryKeyTraits {
  using Handle = RegistryKey;
  static constexpr Handle Invalid() { return 0; }
  static void Close(Handle key) { ThePlatform().RegCloseKey(key); }
};

using ScopedFileHandle = ScopedHandle<FileHandleTraits>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;

}  // namespace reelstart
