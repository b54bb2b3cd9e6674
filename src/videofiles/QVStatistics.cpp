#include "videofiles/QVStatistics.h"

#include "common/Errors.h"
#include "common/Paths.h"
#include "platform/ScopedHandle.h"

namespace reelstart {

namespace {

constexpr char kStartsCount[] = "Starts Count";

// REG_SZ data carries its terminating zero.
void WriteString(RegistryKey key, const std::string& name, const std::string& value) {
  if (ThePlatform().RegSetValueExA(key, name, win::kRegSz, value.c_str(),
                                   static_cast<std::uint32_t>(value.size() + 1)) !=
      win::kErrorSuccess) {
    Raise<ERegistryException>(Format("Failed to set data for '%s'", {name}));
  }
}

// REG_DWORD data is 4 little-endian bytes, whatever the host.
void WriteInteger(RegistryKey key, const std::string& name, std::uint32_t value) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  if (ThePlatform().RegSetValueExA(key, name, win::kRegDword, bytes, sizeof bytes) !=
      win::kErrorSuccess) {
    Raise<ERegistryException>(Format("Failed to set data for '%s'", {name}));
  }
}

// The stored start count; 0 when there is none yet. A value of more than 4
// bytes (ERROR_MORE_DATA) or one that cannot be read raises "Failed to get
// data", one of 4 bytes or fewer that is no REG_DWORD "Invalid data type". A
// REG_DWORD shorter than 4 bytes reads as its bytes with zeros above them,
// never as whatever the buffer held.
std::uint32_t ReadStartsCount(RegistryKey key) {
  unsigned char bytes[4] = {};
  std::uint32_t type = win::kRegNone;
  std::uint32_t size = sizeof bytes;
  const long status = ThePlatform().RegQueryValueExA(key, kStartsCount, type, bytes, size);
  if (status == win::kErrorFileNotFound) return 0;
  if (status != win::kErrorSuccess) {
    Raise<ERegistryException>(Format("Failed to get data for '%s'", {kStartsCount}));
  }
  if (type != win::kRegDword) {
    Raise<ERegistryException>(Format("Invalid data type for '%s'", {kStartsCount}));
  }
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

std::string StartDirectory(const std::string& exePath, const TLeadBytes& leadBytes) {
  const std::string folder = ExtractFilePath(exePath, leadBytes);
  const std::string trimmed = ExcludeTrailingBackslash(folder, leadBytes);
  // "D:" names the drive's current folder, not its root.
  return !trimmed.empty() && trimmed.back() == ':' ? folder : trimmed;
}

void WriteStartStatistics(RegistryKey root, const std::string& keyPath,
                          const TStartStatistics& statistics) {
  RegistryKey opened = 0;
  // A key that cannot be opened is not reported here: its first write fails.
  ThePlatform().RegCreateKeyExA(root, keyPath, win::kRegOptionNonVolatile, win::kKeyAllAccess,
                                opened);
  const ScopedRegistryKey key(opened);

  WriteString(key.Get(), "Last Start", statistics.LastStart);
  WriteInteger(key.Get(), "VideoFiles Count", statistics.VideoFilesCount);
  // Each root counts the runs that reached it; the count wraps to 0.
  WriteInteger(key.Get(), kStartsCount, ReadStartsCount(key.Get()) + 1);
  WriteString(key.Get(), "Release Date", statistics.ReleaseDate);
  WriteString(key.Get(), "Publisher Site", statistics.PublisherSite);
  WriteString(key.Get(), "Build", statistics.Build);
  WriteString(key.Get(), "Start Directory", statistics.StartDirectory);
}

}  // namespace reelstart
