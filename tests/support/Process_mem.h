// The stand-in's process and what it is told: its command line and module,
// its environment variables and temporary folder, the system's texts for
// errors. What it believes of Windows, and the contract cases that hold it,
// are in Process_mem.cpp. A part of MemoryPlatform (support/Platform_mem.h),
// through which the tests reach it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/FileSystem_mem.h"
#include "support/LastError_mem.h"

namespace reelstart {

class MemoryProcess {
 public:
  // Paths are read as `files` reads them.
  MemoryProcess(standin::LastError& lastError, MemoryFileSystem& files)
      : lastError_(lastError), files_(files) {}

  std::string CommandLine = "Reelstart.exe";
  std::string ModuleFileName = "C:\\Reelstart.exe";
  // The module's 8.3 path (GetShortModuleFileNameA); empty: none to be had.
  std::string ShortModuleFileName;
  std::uintptr_t ModuleBase = 0x00400000;
  std::map<std::string, std::string> Environment;
  // What GetShortEnvironmentVariableA answers for a variable whose value the
  // ANSI code page cannot spell: Environment holds it as the code page spells
  // it ('?' or a look-alike), this its 8.3 form. A variable not here is
  // spelled as it is (or has no 8.3 form to be had).
  std::map<std::string, std::string> ShortEnvironment;
  std::string TempPath = "C:\\Windows\\Temp\\";
  // GetShortTempPathA's answer where neither TMP nor TEMP is set: empty where
  // the folder is spelled as it is. (Where one is, the answer follows it.)
  std::string ShortTempPath;
  // The variables GetEnvironmentVariableA was asked for, in order.
  std::vector<std::string> EnvironmentReads;

  // --- The calls, as Platform describes them.
  std::string GetCommandLineA() { return CommandLine; }
  std::string GetModuleFileNameA() { return ModuleFileName; }
  std::string GetShortModuleFileNameA() { return ShortModuleFileName; }
  std::uintptr_t GetModuleBase() { return ModuleBase; }
  std::string GetEnvironmentVariableA(const std::string& name);
  std::string GetShortEnvironmentVariableA(const std::string& name);
  std::string GetTempPathA();
  std::string GetShortTempPathA();
  std::string FormatMessageA(std::uint32_t messageId);

 private:
  // The environment variable `name` (names compare case-blind); null when unset.
  [[nodiscard]] const std::string* Variable(const std::string& name) const;

  standin::LastError& lastError_;
  MemoryFileSystem& files_;
};

}  // namespace reelstart
