// An in-memory platform for the host tests, made of one model of each part
// of Windows the program meets, each in files of its own that say what they
// believe of Windows and which cases of the platform contract
// (support/PlatformContract.h) hold it to Wine:
// - MemoryFileSystem (FileSystem_mem.h): volumes and folder trees, opens,
//   listings, identities; how it reads a path: Paths_mem.h;
// - MemoryRegistry (Registry_mem.h): keys and values;
// - MemoryLocale (Locale_mem.h): sort keys, dates, the code page, the clock;
// - MemoryResources (Resources_mem.h): version resources and string table;
// - MemoryShell (Shell_mem.h): shell requests, message boxes, COM;
// - MemoryProcess (Process_mem.h): command line, module, environment,
//   temporary folder, error texts.
// The tests use it as one platform: what they set up and read back is the
// models', named here as MemoryPlatform's. Where Windows leaves an answer
// open, the stand-in gives the one a program could least rely on: a
// successful call changes the last error (kLeftBySuccess). What Windows
// would not do for a correct program (a find handle given to CloseHandle, a
// handle closed twice) and a test's setup naming nothing are reported
// through OnMisuse (support/Misuse.h). Calls fail on demand through
// FailingPlatform over it.
#pragma once

#include "platform/Platform.h"
#include "support/FileSystem_mem.h"
#include "support/LastError_mem.h"
#include "support/Locale_mem.h"
#include "support/Misuse.h"
#include "support/Process_mem.h"
#include "support/Registry_mem.h"
#include "support/Resources_mem.h"
#include "support/Shell_mem.h"
#include "support/Win32Constants.h"

namespace reelstart {

// Installs itself as ThePlatform() for its lifetime. (The last error comes
// first, as every model sets it.)
class MemoryPlatform final : public Platform,
                             private standin::LastError,
                             public MemoryFileSystem,
                             public MemoryProcess,
                             public MemoryLocale,
                             public MemoryResources,
                             public MemoryRegistry,
                             public MemoryShell {
 public:
  MemoryPlatform();
  ~MemoryPlatform() override;
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  using standin::LastError::kLeftBySuccess;

  // --- Platform: each call answered by its model ------------------------------
  NativeHandle FindFirstFileA(const std::string& mask, FindData& data) override {
    return MemoryFileSystem::FindFirstFileA(mask, data);
  }
  bool FindNextFileA(NativeHandle find, FindData& data) override {
    return MemoryFileSystem::FindNextFileA(find, data);
  }
  void FindClose(NativeHandle find) override { MemoryFileSystem::FindClose(find); }
  NativeHandle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                           std::uint32_t shareMode, std::uint32_t creationDisposition,
                           std::uint32_t flagsAndAttributes) override {
    return MemoryFileSystem::CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                                         flagsAndAttributes);
  }
  std::uint32_t GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) override {
    return MemoryFileSystem::GetFileSize(file, fileSizeHigh);
  }
  bool GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) override {
    return MemoryFileSystem::GetFileInformationByHandle(file, identity);
  }
  bool WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                 std::uint32_t& bytesWritten) override {
    return MemoryFileSystem::WriteFile(file, buffer, bytesToWrite, bytesWritten);
  }
  void CloseHandle(NativeHandle handle) override { MemoryFileSystem::CloseHandle(handle); }
  std::uint32_t GetFileAttributesA(const std::string& fileName) override {
    return MemoryFileSystem::GetFileAttributesA(fileName);
  }
  std::string GetFullPathNameA(const std::string& fileName) override {
    return MemoryFileSystem::GetFullPathNameA(fileName);
  }
  std::uint32_t GetLastError() override { return standin::LastError::Value(); }
  std::string FormatMessageA(std::uint32_t messageId) override {
    return MemoryProcess::FormatMessageA(messageId);
  }
  std::string GetCommandLineA() override { return MemoryProcess::GetCommandLineA(); }
  std::string GetModuleFileNameA() override { return MemoryProcess::GetModuleFileNameA(); }
  std::string GetShortModuleFileNameA() override {
    return MemoryProcess::GetShortModuleFileNameA();
  }
  std::string GetShortEnvironmentVariableA(const std::string& name) override {
    return MemoryProcess::GetShortEnvironmentVariableA(name);
  }
  std::string GetShortTempPathA() override { return MemoryProcess::GetShortTempPathA(); }
  std::uintptr_t GetModuleBase() override { return MemoryProcess::GetModuleBase(); }
  std::string GetEnvironmentVariableA(const std::string& name) override {
    return MemoryProcess::GetEnvironmentVariableA(name);
  }
  std::string GetTempPathA() override { return MemoryProcess::GetTempPathA(); }
  int ShellExecuteA(const std::string& operation, const std::string& file,
                    int showCommand) override {
    return MemoryShell::ShellExecuteA(operation, file, showCommand);
  }
  std::int32_t CoInitializeEx(std::uint32_t coInit) override {
    return MemoryShell::CoInitializeEx(coInit);
  }
  void CoUninitialize() override { MemoryShell::CoUninitialize(); }
  int MessageBoxA(const std::string& text, const std::string& caption,
                  std::uint32_t type) override {
    return MemoryShell::MessageBoxA(text, caption, type);
  }
  std::string LoadStringA(std::uint32_t id) override { return MemoryResources::LoadStringA(id); }
  std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName) override {
    return MemoryResources::GetFileVersionInfoSizeA(fileName);
  }
  bool GetFileVersionInfoA(const std::string& fileName, std::string& block) override {
    return MemoryResources::GetFileVersionInfoA(fileName, block);
  }
  bool VerQueryValueA(std::string& block, const std::string& subBlock, const void*& value,
                      std::uint32_t& length) override {
    return MemoryResources::VerQueryValueA(block, subBlock, value, length);
  }
  long RegCreateKeyExA(RegistryKey key, const std::string& subKey, std::uint32_t options,
                       std::uint32_t samDesired, RegistryKey& result) override {
    return MemoryRegistry::RegCreateKeyExA(key, subKey, options, samDesired, result);
  }
  long RegSetValueExA(RegistryKey key, const std::string& valueName, std::uint32_t type,
                      const void* data, std::uint32_t size) override {
    return MemoryRegistry::RegSetValueExA(key, valueName, type, data, size);
  }
  long RegQueryValueExA(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                        void* data, std::uint32_t& size) override {
    return MemoryRegistry::RegQueryValueExA(key, valueName, type, data, size);
  }
  long RegCloseKey(RegistryKey key) override { return MemoryRegistry::RegCloseKey(key); }
  int CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                     std::string_view string2) override {
    return MemoryLocale::CompareStringA(cmpFlags, string1, string2);
  }
  std::string LCMapStringA(std::uint32_t mapFlags, std::string_view source) override {
    return MemoryLocale::LCMapStringA(mapFlags, source);
  }
  bool IsDBCSLeadByte(unsigned char byte) override { return MemoryLocale::IsDBCSLeadByte(byte); }
  std::string CharUpperBuffA(std::string text) override {
    return MemoryLocale::CharUpperBuffA(std::move(text));
  }
  std::string GetLocaleInfoA(std::uint32_t lcType) override {
    return MemoryLocale::GetLocaleInfoA(lcType);
  }
  SystemTime GetLocalTime() override { return MemoryLocale::GetLocalTime(); }

 private:
  Platform* previous_ = nullptr;
};

}  // namespace reelstart
