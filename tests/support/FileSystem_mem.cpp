// The stand-in's file system: its volumes and their trees, found by path;
// how it opens and lists them is in FileHandles_mem.cpp. What it believes of
// Windows, and the platform contract's cases (support/PlatformContract.h)
// that hold it to Wine:
// - one entry, one identity, by whichever path it is reached; each volume a
//   serial number of its own: Identities;
// - a folder link (junction, folder symlink) is listed as a folder, and is
//   its target, by identity and by contents, a link back up included:
//   FolderLinks;
// - an entry with a long name may have an 8.3 name, which opens it too; an
//   8.3 name has none: ShortNames;
// - a volume may answer file index 0 for everything, as some network
//   redirectors do: IndexlessVolume (the stand-in's alone: no drive of
//   Wine's answers so).
// Believed without a case: a folder link is listed as a reparse point; a
// name listed with '?' for characters the ANSI code page lacks opens nothing
// by that name (a path with '?' in it is no name to Windows). Each volume
// numbers its entries itself, as NTFS numbers its records, the root record 5
// on every volume: two volumes' entries share file indexes, their roots
// always, and differ by serial alone. (Wine answers Unix inode numbers,
// which no two of its drives on one Unix file system share.)
#include "support/FileSystem_mem.h"

#include <algorithm>

#include "support/CaseFold.h"
#include "support/Misuse.h"

namespace reelstart {

namespace {

using standin::kLongestPath;
using win::kErrorFileNotFound;
using win::kErrorFilenameExcedRange;
using win::kErrorInvalidName;
using win::kErrorPathNotFound;

}  // namespace

MemoryFileSystem::Node* MemoryFileSystem::Find(const std::string& path) const {
  const std::optional<std::vector<std::string>> names = standin::ReadPath(path, DotsNames);
  return names ? Find(*names) : nullptr;
}

MemoryFileSystem::Node* MemoryFileSystem::LookUp(const std::string& path, long& error) const {
  error = win::kErrorSuccess;
  if (path.size() > kLongestPath) {
    error = kErrorFilenameExcedRange;
    return nullptr;
  }
  if (standin::HasWildcard(path)) {
    error = kErrorInvalidName;
    return nullptr;
  }
  std::optional<std::vector<std::string>> names = standin::ReadPath(path, DotsNames);
  if (Node* node = names ? Find(*names) : nullptr) return node;
  if (names && !names->empty()) names->pop_back();
  const Node* folder = names && !names->empty() ? Find(*names) : nullptr;
  error = folder != nullptr && folder->IsFolder() ? kErrorFileNotFound : kErrorPathNotFound;
  return nullptr;
}

MemoryFileSystem::Node* MemoryFileSystem::Find(const std::vector<std::string>& parts) const {
  if (parts.empty()) return nullptr;
  const auto volume = volumes_.find(standin::DriveKey(parts[0]));
  if (volume == volumes_.end()) return nullptr;
  Node* node = volume->second.Root;
  for (std::size_t i = 1; i < parts.size() && node != nullptr; ++i) {
    Node* next = nullptr;
    for (Node* child : node->Resolved()->Children) {
      // A name shown with '?' for characters the code page lacks opens nothing.
      const bool longNameUsable = child->Name.find('?') == std::string::npos;
      if ((longNameUsable && SameName(child->Name, parts[i])) ||
          (!child->ShortName.empty() && SameName(child->ShortName, parts[i]))) {
        next = child;
        break;
      }
    }
    node = next;
  }
  return node != nullptr ? node->Resolved() : nullptr;
}

// As NTFS numbers the records of a volume's master file table: the root is
// record 5 on every volume, and the records below 16 are the file system's
// own, so that the volume's first entry of its own is record 16.
MemoryFileSystem::Node* MemoryFileSystem::NewNode(Volume& volume) {
  constexpr std::uint64_t kRootRecord = 5, kFirstFreeRecord = 16;
  nodes_.push_back(std::make_unique<Node>());
  Node* node = nodes_.back().get();
  node->OnVolume = &volume;
  if (volume.Root == nullptr) {
    node->Index = kRootRecord;
    volume.NextIndex = kFirstFreeRecord;
  } else {
    node->Index = volume.NextIndex++;
  }
  return node;
}

MemoryFileSystem::Node* MemoryFileSystem::Make(const std::string& path, bool folder, bool create) {
  const std::vector<std::string> parts = standin::SplitPath(path);
  if (parts.empty()) return nullptr;
  const std::string drive = standin::DriveKey(parts[0]);
  if (!create && volumes_.count(drive) == 0) return nullptr;
  Volume& volume = volumes_[drive];
  if (volume.Root == nullptr) {
    volume.Serial = 0x1234AB00u | static_cast<unsigned char>(drive[0]);  // each its own
    volume.Root = NewNode(volume);
    volume.Root->Name = drive;
    volume.Root->Attributes = win::kFileAttributeDirectory;
  }
  Node* node = volume.Root;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    auto found = std::find_if(node->Children.begin(), node->Children.end(),
                              [&](Node* child) { return SameName(child->Name, parts[i]); });
    if (found != node->Children.end()) {
      node = *found;
      continue;
    }
    if (!create) return nullptr;
    Node* child = NewNode(volume);
    child->Name = parts[i];
    child->Attributes = (folder || i + 1 < parts.size()) ? win::kFileAttributeDirectory
                                                         : win::kFileAttributeArchive;
    node->Children.push_back(child);
    node = child;
  }
  return node;
}

MemoryFileSystem::Node* MemoryFileSystem::Existing(const std::string& path, const char* helper,
                                                   bool asAdded) const {
  Node* node = asAdded ? const_cast<MemoryFileSystem*>(this)->Make(path, false, false) : Find(path);
  if (node == nullptr) Misuse(std::string(helper) + ": nothing at \"" + path + "\"");
  return node;
}

void MemoryFileSystem::AddFolder(const std::string& path, std::uint32_t attributes) {
  Make(path, true)->Attributes = attributes | win::kFileAttributeDirectory;
}

void MemoryFileSystem::AddFile(const std::string& path, std::int64_t size,
                               std::uint32_t attributes) {
  Node* file = Make(path, false);
  file->Size = size;
  file->Attributes = attributes;
}

void MemoryFileSystem::AddFolderLink(const std::string& linkPath,
                                     const std::string& targetFolder) {
  Node* target = Existing(targetFolder, "AddFolderLink", false);
  if (target == nullptr) return;
  if (!target->IsFolder()) {
    Misuse("AddFolderLink: \"" + targetFolder + "\" is no folder");
    return;
  }
  const std::size_t slash = linkPath.rfind('\\');
  Node* parent = Make(linkPath.substr(0, slash), true);
  // The link's entry carries its own name but leads to the target's node.
  Node* link = NewNode(*parent->OnVolume);
  link->Name = linkPath.substr(slash + 1);
  // Junctions and folder symbolic links are listed as reparse points.
  link->Attributes = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
  link->LinkTarget = target;
  parent->Children.push_back(link);
}

void MemoryFileSystem::SetShortName(const std::string& path, const std::string& shortName) {
  // The name as it was added, '?' and all.
  if (Node* node = Existing(path, "SetShortName", true)) node->ShortName = shortName;
}

void MemoryFileSystem::SetListedName(const std::string& path, const std::string& listedName) {
  if (Node* node = Existing(path, "SetListedName", true)) node->ListedName = listedName;
}

void MemoryFileSystem::DenyListing(const std::string& folder) {
  if (Node* node = Existing(folder, "DenyListing", false)) node->ListingDenied = true;
}

void MemoryFileSystem::DenyCreate(const std::string& folder) {
  if (Node* node = Existing(folder, "DenyCreate", false)) node->CreateDenied = true;
}

void MemoryFileSystem::SetReadOnlyVolume(const std::string& drive) {
  Make(drive, true)->OnVolume->ReadOnly = true;
}

bool MemoryFileSystem::Exists(const std::string& path) const { return Find(path) != nullptr; }

std::string MemoryFileSystem::FileContent(const std::string& path) const {
  const Node* file = Existing(path, "FileContent", false);
  return file != nullptr ? file->Content : std::string();
}

long MemoryFileSystem::LookUpError(const std::string& path) const {
  long error = win::kErrorSuccess;
  LookUp(path, error);
  return error;
}

bool MemoryFileSystem::IsFile(const std::string& path) const {
  const Node* node = Find(path);
  return node != nullptr && !node->IsFolder();
}

bool MemoryFileSystem::SameFile(const std::string& a, const std::string& b) const {
  const Node* node = Find(a);
  return node != nullptr && node == Find(b);
}

std::uint32_t MemoryFileSystem::GetFileAttributesA(const std::string& fileName) {
  long error = win::kErrorSuccess;
  const Node* node = LookUp(fileName, error);
  if (node == nullptr) {
    lastError_.Set(error);
    return win::kInvalidFileAttributes;
  }
  lastError_.Succeeded();
  return node->Attributes;
}

std::string MemoryFileSystem::GetFullPathNameA(const std::string& fileName) {
  lastError_.Succeeded();
  return standin::FullPath(fileName, CurrentDirectory, DotsNames);
}

}  // namespace reelstart
