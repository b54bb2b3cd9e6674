// The stand-in's registry: keys and values under HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, every write recorded. What it believes of Windows, and
// the contract cases that hold it, are in Registry_mem.cpp. A part of
// MemoryPlatform (support/Platform_mem.h), through which the tests reach it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace reelstart {

class MemoryRegistry {
 public:
  struct RegistryValue {
    std::uint32_t Type = 0;
    std::string Data;
    bool operator==(const RegistryValue&) const = default;
  };
  // The value under root\key, when there is one (names compare case-blind).
  [[nodiscard]] std::optional<RegistryValue> GetRegistryValue(RegistryKey root,
                                                              const std::string& key,
                                                              const std::string& name) const;
  void SetRegistryValue(RegistryKey root, const std::string& key, const std::string& name,
                        RegistryValue value);
  [[nodiscard]] bool RegistryKeyExists(RegistryKey root, const std::string& key) const;
  // Nothing can be created or written under `root` (a user without rights):
  // RegCreateKeyExA answers ERROR_ACCESS_DENIED and hands out no key.
  void DenyRegistryWrites(RegistryKey root) { deniedRoots_.push_back(root); }
  // Registry keys opened and not yet closed.
  [[nodiscard]] std::size_t OpenKeyCount() const { return keys_.size(); }
  // Every value written, in order, with its key path as the program spelled it.
  struct RegistryWrite {
    RegistryKey Root = 0;
    std::string Key;
    std::string Name;
    bool operator==(const RegistryWrite&) const = default;
  };
  std::vector<RegistryWrite> RegistryWrites;

  // --- The calls, as Platform describes them: they answer their error and
  // leave the last error alone.
  long RegCreateKeyExA(RegistryKey key, const std::string& subKey, std::uint32_t options,
                       std::uint32_t samDesired, RegistryKey& result);
  long RegSetValueExA(RegistryKey key, const std::string& valueName, std::uint32_t type,
                      const void* data, std::uint32_t size);
  long RegQueryValueExA(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                        void* data, std::uint32_t& size);
  long RegCloseKey(RegistryKey key);

 private:
  // The root and key path an open key or a predefined root stands for.
  // Null, after a misuse report naming `call`, when `key` is neither 0 (the
  // key a failed RegCreateKeyExA hands out) nor open.
  [[nodiscard]] const std::pair<RegistryKey, std::string>* ResolveKey(RegistryKey key,
                                                                      const char* call) const;
  [[nodiscard]] bool Denied(RegistryKey root) const;

  // Values by root, key path and value name (paths and names folded).
  std::map<std::pair<RegistryKey, std::string>, std::map<std::string, RegistryValue>> registry_;
  std::map<RegistryKey, std::pair<RegistryKey, std::string>> keys_;
  std::vector<RegistryKey> closedKeys_;
  std::pair<RegistryKey, std::string> roots_[2] = {{kHkeyCurrentUser, ""}, {kHkeyLocalMachine, ""}};
  RegistryKey nextKey_ = 0x1000;
  std::vector<RegistryKey> deniedRoots_;
};

}  // namespace reelstart
