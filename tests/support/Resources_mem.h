// The stand-in's resources of executables: version resources by file, and
// the program's own string table. What it believes of Windows, and the
// contract cases that hold it, are in Resources_mem.cpp. A part of
// MemoryPlatform (support/Platform_mem.h), through which the tests reach it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "support/FileSystem_mem.h"
#include "support/LastError_mem.h"

namespace reelstart {

class MemoryResources {
 public:
  // The files are those of `files`.
  MemoryResources(standin::LastError& lastError, const MemoryFileSystem& files)
      : lastError_(lastError), files_(files) {}

  // The executable's string resources.
  std::map<std::uint32_t, std::string> StringTable;
  // Version resources by file path: the bytes of the file's RT_VERSION
  // resource (a VS_VERSIONINFO block, as a resource compiler writes it). The
  // version calls answer from them as Windows does: the block is twice the
  // resource plus 4 bytes, "FE2X" after the resource, and the ANSI texts
  // (Windows-1251) in the second half.
  std::map<std::string, std::string> VersionResources;

  // --- The calls, as Platform describes them.
  std::string LoadStringA(std::uint32_t id);
  std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName);
  bool GetFileVersionInfoA(const std::string& fileName, std::string& block);
  bool VerQueryValueA(std::string& block, const std::string& subBlock, const void*& value,
                      std::uint32_t& length);

 private:
  // The version resource of the file at `fileName`; null when there is none.
  const std::string* VersionResource(const std::string& fileName) const;

  standin::LastError& lastError_;
  const MemoryFileSystem& files_;
};

}  // namespace reelstart
