// The platform over the real ANSI Win32 calls.
#pragma once

#include "platform/Platform.h"

namespace reelstart {

class Win32Platform final : public Platform {
 public:
  NativeHandle FindFirstFileA(const std::string& mask, FindData& data) override;
  bool FindNextFileA(NativeHandle find, FindData& data) override;
  void FindClose(NativeHandle find) override;
  NativeHandle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                           std::uint32_t shareMode, std::uint32_t creationDisposition,
                           std::uint32_t flagsAndAttributes) override;
  std::uint32_t GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) override;
  bool GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) override;
  bool WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                 std::uint32_t& bytesWritten) override;
  void CloseHandle(NativeHandle handle) override;
  std::uint32_t GetFileAttributesA(const std::string& fileName) override;
  std::string GetFullPathNameA(const std::string& fileName) override;
  std::uint32_t GetLastError() override;
  std::string FormatMessageA(std::uint32_t messageId) override;

  std::string GetCommandLineA() override;
  std::string GetModuleFileNameA() override;
  std::string GetShortModuleFileNameA() override;
  std::string GetShortEnvironmentVariableA(const std::string& name) override;
  std::string GetShortTempPathA() override;
  std::uintptr_t GetModuleBase() override;
  std::string GetEnvironmentVariableA(const std::string& name) override;
  std::string GetTempPathA() override;

  int ShellExecuteA(const std::string& operation, const std::string& file,
                    int showCommand) override;
  std::int32_t CoInitializeEx(std::uint32_t coInit) override;
  void CoUninitialize() override;
  int MessageBoxA(const std::string& text, const std::string& caption,
                  std::uint32_t type) override;
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
  long RegCloseKey(RegistryKey key) override;

  int CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                     std::string_view string2) override;
  std::string LCMapStringA(std::uint32_t mapFlags, std::string_view source) override;
  bool IsDBCSLeadByte(unsigned char byte) override;
  std::string CharUpperBuffA(std::string text) override;
  std::string GetLocaleInfoA(std::uint32_t lcType) override;
  SystemTime GetLocalTime() override;
};

}  // namespace reelstart
