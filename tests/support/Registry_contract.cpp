// The platform contract's cases for the stand-in's registry
// (Registry_mem.cpp), held to Windows under Wine.
#include "support/ContractCases.h"

#include <cstring>
#include <string>

namespace reelstart::contract {

using namespace win;

void RegistryValues(Context& c) {
  RegistryKey key = 0;
  c.Eq("key made",
       c.P.RegCreateKeyExA(kHkeyCurrentUser, kRegistryKey, kRegOptionNonVolatile, kKeyAllAccess,
                           key),
       kErrorSuccess);
  const std::uint32_t dword = 42;
  const char text[] = "\xD4\xE8\xEB\xFC\xEC";  // "Фильм": 5 bytes and the zero
  c.Eq("DWORD set", c.P.RegSetValueExA(key, "Count", kRegDword, &dword, 4), kErrorSuccess);
  c.Eq("text set", c.P.RegSetValueExA(key, "Name", kRegSz, text, sizeof text), kErrorSuccess);
  c.Eq("empty set", c.P.RegSetValueExA(key, "Empty", kRegBinary, "", 0), kErrorSuccess);
  const struct {
    const char* name;
    std::uint32_t type, size;
  } values[] = {{"count", kRegDword, 4}, {"NAME", kRegSz, sizeof text}, {"Empty", kRegBinary, 0}};
  for (const auto& value : values) {
    std::uint32_t type = 0, size = 0;
    c.Eq(std::string("measure ") + value.name,
         c.P.RegQueryValueExA(key, value.name, type, nullptr, size), kErrorSuccess);
    c.Eq(std::string("type of ") + value.name, type, value.type);
    c.Eq(std::string("size of ") + value.name, size, value.size);
  }
  char buffer[16] = {};
  std::uint32_t type = 0, size = sizeof buffer;
  c.Eq("read", c.P.RegQueryValueExA(key, "Name", type, buffer, size), kErrorSuccess);
  c.Eq("size read", size, static_cast<std::uint32_t>(sizeof text));
  c.True("bytes read", std::memcmp(buffer, text, sizeof text) == 0);
  size = 2;
  c.Eq("too small", c.P.RegQueryValueExA(key, "Name", type, buffer, size), kErrorMoreData);
  c.Eq("size needed", size, static_cast<std::uint32_t>(sizeof text));
  size = sizeof buffer;
  c.Eq("no such value", c.P.RegQueryValueExA(key, "None", type, buffer, size), kErrorFileNotFound);
  c.Eq("closed", c.P.RegCloseKey(key), kErrorSuccess);
  // Key 0, what a failed RegCreateKeyExA hands out, is no key.
  c.Eq("set through no key", c.P.RegSetValueExA(0, "Count", kRegDword, &dword, 4),
       kErrorInvalidHandle);
  c.Eq("read through no key", c.P.RegQueryValueExA(0, "Count", type, buffer, size),
       kErrorInvalidHandle);
}

}  // namespace reelstart::contract
