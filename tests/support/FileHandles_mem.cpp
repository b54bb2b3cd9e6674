// How the stand-in's file system (support/FileSystem_mem.h) opens and
// lists its entries, and what its handles answer. What it believes of
// Windows, and the platform contract's cases (support/PlatformContract.h)
// that hold it to Wine:
// - two opens of one file are checked against each other's share modes,
//   both ways; an open without data access against none: ShareModesBothWays;
// - access is checked before sharing: a read-only file opens for reading
//   only and is not replaced; a file made is marked for archiving, and
//   FILE_ATTRIBUTE_NORMAL is never read back: ReadOnlyFiles;
// - a handle opened for reading writes nothing; CREATE_ALWAYS clears the
//   last error for a file made anew and answers ERROR_ALREADY_EXISTS for one
//   replaced: WritesNeedWriteAccess;
// - a disc's volume refuses every write and every creation with
//   ERROR_ACCESS_DENIED, whatever a file's attributes say: ReadOnlyVolume;
// - a folder opens only with FILE_FLAG_BACKUP_SEMANTICS, and its handle
//   tells its identity: FolderHandles;
// - a listing gives "." and ".." (but at a drive's root) with the folder's
//   entries; a name that is no pattern finds the one entry, as stored;
//   FindNextFileA ends with ERROR_NO_MORE_FILES: ListingsOfAll,
//   ListingsOfNames;
// - GetFileSize answers the size in two halves, and a low half that reads
//   as INVALID_FILE_SIZE with ERROR_SUCCESS as the last error: FileSizes.
#include "support/FileSystem_mem.h"

#include <algorithm>

#include "support/Misuse.h"

namespace reelstart {

namespace {

using standin::kLongestPath;
using win::kErrorAccessDenied;
using win::kErrorFileNotFound;
using win::kErrorFilenameExcedRange;
using win::kErrorInvalidHandle;
using win::kErrorInvalidName;
using win::kErrorPathNotFound;
using win::kErrorSharingViolation;
using win::kFileAttributeReadOnly;
constexpr std::uint32_t kReadOnlyHiddenSystem =
    kFileAttributeReadOnly | win::kFileAttributeHidden | win::kFileAttributeSystem;

// The access rights share modes are checked for: reading, writing and
// deleting data. An open that asks for none of them (attributes only, as the
// walk's identity probe) is checked against no share mode and holds none.
constexpr std::uint32_t kReadAccess = win::kGenericRead | win::kGenericAll | win::kFileReadData;
constexpr std::uint32_t kWriteAccess =
    win::kGenericWrite | win::kGenericAll | win::kFileWriteData | win::kFileAppendData;
constexpr std::uint32_t kDeleteAccess = win::kGenericAll | win::kDelete;

// Whether an open of `access` and `shareMode` may join one of `heldAccess`
// and `heldShare`, as Windows decides it both ways: each must share what the
// other asks for.
bool SharesWith(std::uint32_t access, std::uint32_t shareMode, std::uint32_t heldAccess,
                std::uint32_t heldShare) {
  const auto conflicts = [](std::uint32_t asked, std::uint32_t shared) {
    return ((asked & kReadAccess) != 0 && (shared & win::kFileShareRead) == 0) ||
           ((asked & kWriteAccess) != 0 && (shared & win::kFileShareWrite) == 0) ||
           ((asked & kDeleteAccess) != 0 && (shared & win::kFileShareDelete) == 0);
  };
  constexpr std::uint32_t kDataAccess = kReadAccess | kWriteAccess | kDeleteAccess;
  if ((access & kDataAccess) == 0 || (heldAccess & kDataAccess) == 0) return true;
  return !conflicts(access, heldShare) && !conflicts(heldAccess, shareMode);
}

}  // namespace

NativeHandle MemoryFileSystem::HoldOpen(const std::string& path, std::uint32_t access,
                                        std::uint32_t shareMode) {
  const NativeHandle held =
      OpenFile(path, access, shareMode, win::kOpenExisting, win::kFileAttributeNormal, true);
  if (held == kInvalidHandleValue) {
    Misuse("HoldOpen: \"" + path + "\" does not open, error " + std::to_string(lastError_.Value()));
  }
  return held;
}

void MemoryFileSystem::Release(NativeHandle held) {
  const auto found = handles_.find(held);
  if (found == handles_.end() || !found->second->Foreign) {
    Misuse("Release of " + Hex(held) + ", which HoldOpen did not hand out");
    return;
  }
  handles_.erase(found);
}


std::size_t MemoryFileSystem::OpenHandleCount() const {
  return static_cast<std::size_t>(std::count_if(
      handles_.begin(), handles_.end(), [](const auto& handle) { return !handle.second->Foreign; }));
}


NativeHandle MemoryFileSystem::Fail(long error) {
  lastError_.Set(error);
  return kInvalidHandleValue;
}

NativeHandle MemoryFileSystem::AddHandle(std::unique_ptr<Open> open) {
  const NativeHandle handle = nextHandle_ += 4;
  handles_[handle] = std::move(open);
  return handle;
}

MemoryFileSystem::Open* MemoryFileSystem::Use(NativeHandle handle, Kind kind, const char* call) {
  const auto found = handles_.find(handle);
  std::string misuse;
  if (found != handles_.end()) {
    if (found->second->Foreign) {
      misuse = " on another program's handle ";
    } else if (found->second->Type != kind) {
      misuse = found->second->Type == Kind::File ? " on a file handle " : " on a find handle ";
    } else {
      return found->second.get();
    }
  } else {
    misuse = closed_.count(handle) != 0 ? " on a closed handle " : " on a handle never opened ";
  }
  Misuse(call + misuse + Hex(handle));
  lastError_.Set(kErrorInvalidHandle);
  return nullptr;
}

void MemoryFileSystem::Close(NativeHandle handle, Kind kind, const char* call) {
  if (Use(handle, kind, call) == nullptr) return;
  handles_.erase(handle);
  closed_[handle] = kind;
  lastError_.Succeeded();
}

NativeHandle MemoryFileSystem::FindFirstFileA(const std::string& mask, FindData& data) {
  Listings.push_back(mask);
  if (mask.size() > kLongestPath) return Fail(kErrorFilenameExcedRange);
  const std::size_t slash = mask.rfind('\\');
  if (slash == std::string::npos) return Fail(kErrorFileNotFound);
  const std::string pattern = mask.substr(slash + 1);
  auto listing = std::make_unique<Open>();
  listing->Type = Kind::Find;
  const auto add = [&](const Node& entry) {
    listing->Entries.push_back({entry.Attributes,
                                entry.ListedName.empty() ? entry.Name : entry.ListedName,
                                entry.ShortName});
  };
  long error = win::kErrorSuccess;
  if (pattern.find_first_of("*?<>\"") == std::string::npos) {
    // A name, not a pattern: the one entry it finds. A name of dots and
    // spaces only is read away entirely, leaving the folder, which a search
    // does not find.
    const Node* found = LookUp(mask, error);
    if (found == nullptr) return Fail(error);
    if (pattern.find_last_not_of(". ") == std::string::npos) return Fail(kErrorFileNotFound);
    add(*found);
  } else {
    Node* folder = LookUp(mask.substr(0, slash + 1), error);
    if (folder == nullptr || !folder->IsFolder()) return Fail(kErrorPathNotFound);
    if (folder->ListingDenied) return Fail(kErrorAccessDenied);
    if (standin::SplitPath(mask).size() > 2) {  // a drive's root has no "." and ".."
      for (const char* dots : {".", ".."}) {
        if (standin::MatchesMask(pattern, dots)) {
          listing->Entries.push_back({win::kFileAttributeDirectory, dots, ""});
        }
      }
    }
    for (const Node* child : folder->Children) {
      if (standin::MatchesMask(pattern, child->Name)) add(*child);
    }
    if (listing->Entries.empty()) return Fail(kErrorFileNotFound);
  }
  data = listing->Entries[0];
  listing->Next = 1;
  lastError_.Succeeded();
  return AddHandle(std::move(listing));
}

bool MemoryFileSystem::FindNextFileA(NativeHandle find, FindData& data) {
  Open* listing = Use(find, Kind::Find, "FindNextFileA");
  if (listing == nullptr) return false;
  if (listing->Next >= listing->Entries.size()) {
    lastError_.Set(win::kErrorNoMoreFiles);
    return false;
  }
  data = listing->Entries[listing->Next++];
  lastError_.Succeeded();
  return true;
}

void MemoryFileSystem::FindClose(NativeHandle find) { Close(find, Kind::Find, "FindClose"); }

NativeHandle MemoryFileSystem::CreateFileA(const std::string& fileName,
                                           std::uint32_t desiredAccess, std::uint32_t shareMode,
                                           std::uint32_t creationDisposition,
                                           std::uint32_t flagsAndAttributes) {
  Opens.push_back(fileName);
  return OpenFile(fileName, desiredAccess, shareMode, creationDisposition, flagsAndAttributes,
                  false);
}

NativeHandle MemoryFileSystem::OpenFile(const std::string& fileName, std::uint32_t desiredAccess,
                                        std::uint32_t shareMode,
                                        std::uint32_t creationDisposition,
                                        std::uint32_t flagsAndAttributes, bool foreign) {
  if (creationDisposition != win::kCreateAlways && creationDisposition != win::kOpenExisting) {
    Misuse("CreateFileA with creation disposition " + std::to_string(creationDisposition) +
           ", which the stand-in does not model");
    return Fail(win::kErrorInvalidParameter);
  }
  // Every open of the node that holds data access, the program's and others'.
  const auto sharingRefuses = [&](const Node* node) {
    return std::any_of(handles_.begin(), handles_.end(), [&](const auto& handle) {
      const Open& open = *handle.second;
      return open.Type == Kind::File && open.Target == node &&
             !SharesWith(desiredAccess, shareMode, open.Access, open.Share);
    });
  };
  const bool writes = (desiredAccess & kWriteAccess) != 0;
  long error = win::kErrorSuccess;
  Node* node = LookUp(fileName, error);
  if (error == kErrorFilenameExcedRange || error == kErrorInvalidName) return Fail(error);
  bool replaced = false;
  if (creationDisposition == win::kCreateAlways) {
    const std::size_t slash = fileName.rfind('\\');
    Node* parent = slash == std::string::npos ? nullptr : Find(fileName.substr(0, slash + 1));
    if (parent == nullptr || !parent->IsFolder()) return Fail(kErrorPathNotFound);
    // CD-ROM file systems (CDFS, UDF) refuse to create or overwrite anything
    // with ERROR_ACCESS_DENIED; a write-protected disk of a writable file
    // system answers ERROR_WRITE_PROTECT instead. The stand-in's read-only
    // volumes are discs.
    if (parent->OnVolume->ReadOnly) return Fail(kErrorAccessDenied);
    if (parent->CreateDenied) return Fail(kErrorAccessDenied);
    if (node != nullptr) {
      // Windows refuses to replace a read-only, hidden or system file unless
      // the caller asks for those attributes.
      if (node->IsFolder() || (node->Attributes & kReadOnlyHiddenSystem) != 0) {
        return Fail(kErrorAccessDenied);
      }
      if (sharingRefuses(node)) return Fail(kErrorSharingViolation);
      replaced = true;
    } else {
      node = Make(fileName, false);
    }
    node->Content.clear();
    node->Size = 0;
    // A file made is marked for archiving; FILE_ATTRIBUTE_NORMAL is never read back.
    node->Attributes = (flagsAndAttributes & 0xFFFF & ~win::kFileAttributeNormal) |
                       win::kFileAttributeArchive;
  } else {
    if (node == nullptr) return Fail(error);
    if (node->IsFolder() && (flagsAndAttributes & win::kFileFlagBackupSemantics) == 0) {
      return Fail(kErrorAccessDenied);
    }
    // Access is checked before sharing: a read-only file is refused to a
    // writer even when nobody else has it open. A disc's files are all
    // read-only (CDFS answers ERROR_ACCESS_DENIED, as NTFS does for the
    // attribute).
    if (writes && ((node->Attributes & kFileAttributeReadOnly) != 0 || node->OnVolume->ReadOnly)) {
      return Fail(kErrorAccessDenied);
    }
    if (sharingRefuses(node)) return Fail(kErrorSharingViolation);
  }
  // A file made anew clears the last error, one replaced answers
  // ERROR_ALREADY_EXISTS; an open of what is there says nothing.
  if (creationDisposition == win::kCreateAlways) {
    lastError_.Set(replaced ? win::kErrorAlreadyExists : win::kErrorSuccess);
  } else {
    lastError_.Succeeded();
  }
  auto open = std::make_unique<Open>();
  open->Type = Kind::File;
  open->Foreign = foreign;
  open->Target = node;
  open->Access = desiredAccess;
  open->Share = shareMode;
  return AddHandle(std::move(open));
}

std::uint32_t MemoryFileSystem::GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) {
  const Open* open = Use(file, Kind::File, "GetFileSize");
  if (open == nullptr) return win::kInvalidFileSize;
  const auto size = static_cast<std::uint64_t>(open->Target->Size);
  fileSizeHigh = static_cast<std::uint32_t>(size >> 32);
  // As kernel32 does: a low part that reads as INVALID_FILE_SIZE comes with
  // ERROR_SUCCESS as the last error, whatever it was before.
  if (static_cast<std::uint32_t>(size) == win::kInvalidFileSize) {
    lastError_.Set(win::kErrorSuccess);
  } else {
    lastError_.Succeeded();
  }
  return static_cast<std::uint32_t>(size);
}

bool MemoryFileSystem::GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) {
  const Open* open = Use(file, Kind::File, "GetFileInformationByHandle");
  if (open == nullptr) return false;
  identity.VolumeSerialNumber = open->Target->OnVolume->Serial;
  identity.FileIndex = NoFileIndex ? 0 : open->Target->Index;
  lastError_.Succeeded();
  return true;
}

bool MemoryFileSystem::WriteFile(NativeHandle file, const void* buffer,
                                 std::uint32_t bytesToWrite, std::uint32_t& bytesWritten) {
  bytesWritten = 0;
  const Open* open = Use(file, Kind::File, "WriteFile");
  if (open == nullptr) return false;
  if ((open->Access & kWriteAccess) == 0) {
    lastError_.Set(kErrorAccessDenied);
    return false;
  }
  Node* target = open->Target;
  bytesWritten = std::min(bytesToWrite, WriteLimit);
  target->Content.append(static_cast<const char*>(buffer), bytesWritten);
  target->Size = static_cast<std::int64_t>(target->Content.size());
  lastError_.Succeeded();
  return true;
}

void MemoryFileSystem::CloseHandle(NativeHandle handle) {
  Close(handle, Kind::File, "CloseHandle");
}

}  // namespace reelstart
