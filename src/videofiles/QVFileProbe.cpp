#include "videofiles/QVFileProbe.h"

#include "platform/ScopedHandle.h"

namespace reelstart {

std::int64_t GetFileSize64(const std::string& path) {
  Platform& platform = ThePlatform();
  const ScopedFileHandle file(platform.CreateFileA(path, win::kGenericRead, win::kFileShareRead,
                                                   win::kOpenExisting,
                                                   win::kFileAttributeArchive));
  if (!file.IsValid()) return 0;
  std::uint32_t high = 0;
  const std::uint32_t low = platform.GetFileSize(file.Get(), high);
  // INVALID_FILE_SIZE is also the low half of a real size: only the last
  // error, which a successful call clears then, tells a failure.
  if (low == win::kInvalidFileSize && platform.GetLastError() != win::kErrorSuccess) return 0;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

// FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFileA open a folder at all;
// asking for no access rights lets it open folders whose contents may not be
// read, and files another program holds open for writing.
std::optional<FileIdentity> EntryIdentity(const std::string& path) {
  Platform& platform = ThePlatform();
  const ScopedFileHandle entry(platform.CreateFileA(
      path, 0, win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete,
      win::kOpenExisting, win::kFileFlagBackupSemantics));
  FileIdentity identity;
  // Some network redirectors answer file index 0 for everything: such an
  // answer tells nothing, and would make every folder look like its parent.
  if (!entry.IsValid() || !platform.GetFileInformationByHandle(entry.Get(), identity) ||
      identity.FileIndex == 0) {
    return std::nullopt;
  }
  return identity;
}

bool Exists(const std::string& path) {
  return ThePlatform().GetFileAttributesA(path) != win::kInvalidFileAttributes;
}

}  // namespace reelstart
