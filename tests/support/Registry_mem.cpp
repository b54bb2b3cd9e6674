// The stand-in's registry. What it believes of Windows, and the platform
// contract's cases (support/PlatformContract.h) that hold it to Wine:
// - value names compare case-blind; a value keeps its type and bytes, an
//   empty one too; a query without a buffer measures the value, one with too
//   small a buffer answers ERROR_MORE_DATA and the size needed; a missing
//   value is ERROR_FILE_NOT_FOUND; key 0 (what a failed RegCreateKeyExA
//   hands out) is no key, ERROR_INVALID_HANDLE: RegistryValues.
// Believed without a case: the Reg* calls answer their error and leave the
// last error alone; RegCreateKeyExA makes the missing keys on the
// way; key names compare case-blind; a user without rights is refused keys
// and values under a root with ERROR_ACCESS_DENIED (under Wine every user
// may write both roots); a predefined root may be closed.
#include "support/Registry_mem.h"

#include <algorithm>
#include <cstring>

#include "support/CaseFold.h"
#include "support/Misuse.h"
#include "support/Win32Constants.h"

namespace reelstart {

std::optional<MemoryRegistry::RegistryValue> MemoryRegistry::GetRegistryValue(
    RegistryKey root, const std::string& key, const std::string& name) const {
  const auto values = registry_.find({root, Folded(key)});
  if (values == registry_.end()) return std::nullopt;
  const auto value = values->second.find(Folded(name));
  if (value == values->second.end()) return std::nullopt;
  return value->second;
}

void MemoryRegistry::SetRegistryValue(RegistryKey root, const std::string& key,
                                      const std::string& name, RegistryValue value) {
  registry_[{root, Folded(key)}][Folded(name)] = std::move(value);
}

bool MemoryRegistry::RegistryKeyExists(RegistryKey root, const std::string& key) const {
  return registry_.count({root, Folded(key)}) != 0;
}

bool MemoryRegistry::Denied(RegistryKey root) const {
  return std::find(deniedRoots_.begin(), deniedRoots_.end(), root) != deniedRoots_.end();
}

const std::pair<RegistryKey, std::string>* MemoryRegistry::ResolveKey(RegistryKey key,
                                                                     const char* call) const {
  for (const auto& root : roots_) {
    if (root.first == key) return &root;
  }
  const auto open = keys_.find(key);
  if (open != keys_.end()) return &open->second;
  // Key 0 is what a failed RegCreateKeyExA hands out: the seam lets writes
  // through it fail quietly. Any other key not open is a program's mistake.
  if (key != 0) {
    const bool closed = std::find(closedKeys_.begin(), closedKeys_.end(), key) != closedKeys_.end();
    Misuse(std::string(call) + (closed ? " through a closed key " : " through a key never opened ") +
           Hex(key));
  }
  return nullptr;
}

long MemoryRegistry::RegCreateKeyExA(RegistryKey key, const std::string& subKey,
                                     std::uint32_t /*options*/, std::uint32_t /*samDesired*/,
                                     RegistryKey& result) {
  result = 0;
  const auto* parent = ResolveKey(key, "RegCreateKeyExA");
  if (parent == nullptr) return win::kErrorInvalidHandle;
  const RegistryKey root = parent->first;
  if (Denied(root)) return win::kErrorAccessDenied;
  // Kept as the program spelled it; the registry itself is indexed folded.
  const std::string path = parent->second.empty() ? subKey : parent->second + "\\" + subKey;
  const std::string folded = Folded(path);
  // Missing keys are created on the way down.
  for (std::size_t slash = folded.find('\\'); slash != std::string::npos;
       slash = folded.find('\\', slash + 1)) {
    registry_[{root, folded.substr(0, slash)}];
  }
  registry_[{root, folded}];
  result = nextKey_ += 4;
  keys_[result] = {root, path};
  return win::kErrorSuccess;
}

long MemoryRegistry::RegSetValueExA(RegistryKey key, const std::string& valueName,
                                    std::uint32_t type, const void* data, std::uint32_t size) {
  // A key that was never opened (or is closed) is no key, as on Windows.
  const auto* open = ResolveKey(key, "RegSetValueExA");
  if (open == nullptr) return win::kErrorInvalidHandle;
  if (Denied(open->first)) return win::kErrorAccessDenied;
  registry_[{open->first, Folded(open->second)}][Folded(valueName)] = {
      type, std::string(static_cast<const char*>(data), size)};
  RegistryWrites.push_back({open->first, open->second, valueName});
  return win::kErrorSuccess;
}

long MemoryRegistry::RegQueryValueExA(RegistryKey key, const std::string& valueName,
                                      std::uint32_t& type, void* data, std::uint32_t& size) {
  const auto* open = ResolveKey(key, "RegQueryValueExA");
  if (open == nullptr) return win::kErrorInvalidHandle;
  const auto values = registry_.find({open->first, Folded(open->second)});
  if (values == registry_.end()) return win::kErrorFileNotFound;
  const auto value = values->second.find(Folded(valueName));
  if (value == values->second.end()) return win::kErrorFileNotFound;
  type = value->second.Type;
  const auto needed = static_cast<std::uint32_t>(value->second.Data.size());
  if (data == nullptr) {
    // Without a buffer the call only measures the value.
    size = needed;
    return win::kErrorSuccess;
  }
  if (size < needed) {
    // The buffer's contents are undefined then: make sure nobody reads them.
    std::memset(data, 0xCC, size);
    size = needed;
    return win::kErrorMoreData;
  }
  std::memcpy(data, value->second.Data.data(), needed);
  size = needed;
  return win::kErrorSuccess;
}

long MemoryRegistry::RegCloseKey(RegistryKey key) {
  if (keys_.erase(key) != 0) {
    closedKeys_.push_back(key);
    return win::kErrorSuccess;
  }
  // Windows lets a program close a predefined root.
  if (key == kHkeyCurrentUser || key == kHkeyLocalMachine) return win::kErrorSuccess;
  Misuse("RegCloseKey of a key not open " + Hex(key));
  return win::kErrorInvalidHandle;
}

}  // namespace reelstart
