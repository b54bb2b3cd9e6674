// Any platform, the real one included, with any of its failable calls made
// to fail on demand: the test names the call, which of its calls from now on,
// and the error. The failed call does not reach the platform below; it
// answers as the Win32 call answers when it fails.
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace reelstart {

// Installs itself as ThePlatform() for its lifetime, over `inner`.
class FailingPlatform final : public Platform {
 public:
  explicit FailingPlatform(Platform& inner);
  // A planned failure that never came is a misuse, reported here.
  ~FailingPlatform() override;
  FailingPlatform(const FailingPlatform&) = delete;
  FailingPlatform& operator=(const FailingPlatform&) = delete;

  // The calls FailCall can fail.
  enum class Call {
    FindFirstFileA,
    FindNextFileA,
    CreateFileA,
    GetFileSize,
    GetFileInformationByHandle,
    WriteFile,
    GetFileAttributesA,
    GetFullPathNameA,
    FormatMessageA,
    GetTempPathA,
    LoadStringA,
    GetFileVersionInfoSizeA,
    GetFileVersionInfoA,
    VerQueryValueA,
    RegCreateKeyExA,
    RegSetValueExA,
    RegQueryValueExA,
    CompareStringA,
    LCMapStringA,
    CoInitializeEx,
    GetLocaleInfoA,
  };
  static constexpr std::size_t kCallCount = static_cast<std::size_t>(Call::GetLocaleInfoA) + 1;
  // The `nth` call (from 1) of `call` from now on fails with `error`,
  // answering INVALID_HANDLE_VALUE, FALSE, 0, INVALID_FILE_SIZE (the high
  // part untouched), the error itself from the Reg* calls (which leave the
  // last error alone, and hand out no key), an empty text where the seam has
  // one, the error itself as CoInitializeEx's HRESULT. GetLastError then
  // answers `error` until the next call goes through.
  void FailCall(Call call, unsigned nth, long error);
  // How often `call` was made through this platform so far.
  [[nodiscard]] unsigned CallCount(Call call) const {
    return calls_[static_cast<std::size_t>(call)];
  }

  NativeHandle FindFirstFileA(const std::string& mask, FindData& data) override;
  bool FindNextFileA(NativeHandle find, FindData& data) override;
  void FindClose(NativeHandle find) override { Through().FindClose(find); }
  NativeHandle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                           std::uint32_t shareMode, std::uint32_t creationDisposition,
                           std::uint32_t flagsAndAttributes) override;
  std::uint32_t GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) override;
  bool GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) override;
  bool WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                 std::uint32_t& bytesWritten) override;
  void CloseHandle(NativeHandle handle) override { Through().CloseHandle(handle); }
  std::uint32_t GetFileAttributesA(const std::string& fileName) override;
  std::string GetFullPathNameA(const std::string& fileName) override;
  std::uint32_t GetLastError() override;
  std::string FormatMessageA(std::uint32_t messageId) override;
  std::string GetCommandLineA() override { return Through().GetCommandLineA(); }
  std::string GetModuleFileNameA() override { return Through().GetModuleFileNameA(); }
  std::string GetShortModuleFileNameA() override { return Through().GetShortModuleFileNameA(); }
  std::string GetShortEnvironmentVariableA(const std::string& name) override {
    return Through().GetShortEnvironmentVariableA(name);
  }
  std::string GetShortTempPathA() override { return Through().GetShortTempPathA(); }
  std::uintptr_t GetModuleBase() override { return Through().GetModuleBase(); }
  std::string GetEnvironmentVariableA(const std::string& name) override {
    return Through().GetEnvironmentVariableA(name);
  }
  std::string GetTempPathA() override;
  int ShellExecuteA(const std::string& operation, const std::string& file,
                    int showCommand) override {
    return Through().ShellExecuteA(operation, file, showCommand);
  }
  std::int32_t CoInitializeEx(std::uint32_t coInit) override;
  void CoUninitialize() override { Through().CoUninitialize(); }
  int MessageBoxA(const std::string& text, const std::string& caption,
                  std::uint32_t type) override {
    return Through().MessageBoxA(text, caption, type);
  }
  std::string LoadStringA(std::uint32_t id) override;
  std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName) override;
  bool GetFileVersionInfoA(const std::string& fileName, std::string& block) override;
  bool VerQueryValueA(std::string& block, const std::string& subBlock, const void*& value,
                      std::uint32_t& length) override;
  long RegCreateKeyExA(RegistryKey key, const std::string& subKey, std::uint32_t options,
                       std::uint32_t samDesired, RegistryKey& result) override;
  long RegSetValueExA(RegistryKey key, const std::string& valueName, std::uint32_t type,
                      const void* data, std::uint32_t size) override;
  long RegQueryValueExA(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                        void* data, std::uint32_t& size) override;
  long RegCloseKey(RegistryKey key) override { return Through().RegCloseKey(key); }
  int CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                     std::string_view string2) override;
  std::string LCMapStringA(std::uint32_t mapFlags, std::string_view source) override;
  bool IsDBCSLeadByte(unsigned char byte) override { return Through().IsDBCSLeadByte(byte); }
  std::string CharUpperBuffA(std::string text) override {
    return Through().CharUpperBuffA(std::move(text));
  }
  std::string GetLocaleInfoA(std::uint32_t lcType) override;
  SystemTime GetLocalTime() override { return Through().GetLocalTime(); }

 private:
  // Counts the call; the error planned for it, or ERROR_SUCCESS. Any call
  // that goes through to the platform below ends an earlier planned error's
  // hold on GetLastError.
  long Planned(Call call);
  // Planned, keeping a planned error as the last error.
  bool Fails(Call call);
  Platform& Through();

  struct Fault {
    Call Which;
    unsigned Nth;
    long Error;
  };
  Platform& inner_;
  Platform* previous_ = nullptr;
  std::vector<Fault> faults_;
  std::array<unsigned, kCallCount> calls_{};
  long lastError_ = 0;  // a planned failure's, while it holds
};

}  // namespace reelstart
