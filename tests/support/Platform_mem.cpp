#include "support/Platform_mem.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "platform/Win1251.h"
#include "support/CaseFold.h"
#include "support/VersionBlock.h"

namespace reelstart {

namespace {

using win::kErrorAccessDenied;
using win::kErrorFileNotFound;
using win::kErrorInvalidHandle;
using win::kErrorNoMoreFiles;
using win::kErrorPathNotFound;
using win::kErrorResourceTypeNotFound;
using win::kErrorSharingViolation;
constexpr char kVersionSignature[4] = {'F', 'E', '2', 'X'};
using win::kErrorAlreadyExists;
using win::kErrorEnvvarNotFound;
using win::kErrorFilenameExcedRange;
using win::kErrorInvalidFlags;
using win::kErrorMrMidNotFound;
using win::kErrorResourceNameNotFound;
using win::kSeErrFnf;
using win::kSeErrNoAssoc;
using win::kErrorInvalidName;
using win::kFileAttributeReadOnly;
// The longest path the ANSI file calls take: MAX_PATH less the terminating zero.
constexpr std::size_t kLongestPath = win::kMaxPath - 1;
constexpr std::uint32_t kReadOnlyHiddenSystem =
    kFileAttributeReadOnly | win::kFileAttributeHidden | win::kFileAttributeSystem;

// The access rights share modes are checked for: reading, writing and
// deleting data. An open that asks for none of them (attributes only, as the
// walk's identity probe) is checked against no share mode and holds none.
constexpr std::uint32_t kReadAccess = win::kGenericRead | win::kGenericAll | win::kFileReadData;
constexpr std::uint32_t kWriteAccess =
    win::kGenericWrite | win::kGenericAll | win::kFileWriteData | win::kFileAppendData;
constexpr std::uint32_t kDeleteAccess = win::kGenericAll | win::kDelete;

std::string Hex(std::uintptr_t value) {
  char text[2 + 2 * sizeof value + 1];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

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

std::string Folded(std::string text) {
  for (char& c : text) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(static_cast<unsigned char>(x)) == FoldCase(static_cast<unsigned char>(y));
         });
}

// Whether `name` matches a mask's `pattern`: '*' any run of characters, '?'
// one; letters in either case are the same.
bool Matches(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    return Matches(pattern.substr(1), name) || (!name.empty() && Matches(pattern, name.substr(1)));
  }
  return !name.empty() && (pattern[0] == '?' || SameName(pattern.substr(0, 1), name.substr(0, 1))) &&
         Matches(pattern.substr(1), name.substr(1));
}

// The length a version block gives its resource (the root's wLength).
std::size_t StoredLength(std::string_view block) {
  if (block.size() < 2) return block.size();
  return static_cast<unsigned char>(block[0]) | static_cast<unsigned char>(block[1]) << 8;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The first-level weight of a character other than a hyphen or an apostrophe:
// its group (2 symbols, 3 digits, 4 Latin, 5 Russian, 6 other Cyrillic letters)
// and its rank within the group, each at least 2.
std::pair<char, char> Weight(unsigned char byte) {
  static const std::array<unsigned char, 256> symbolRanks = [] {
    std::array<unsigned char, 256> ranks{};
    int next = 2;
    for (int b = 0; b < 256; ++b) {
      const char16_t upper = FoldCase(Utf16FromWin1251(std::string(1, static_cast<char>(b)))[0]);
      const bool symbol = !(upper >= u'0' && upper <= u'9') && !(upper >= u'A' && upper <= u'Z') &&
                          !(upper >= 0x400 && upper <= 0x4FF);
      if (symbol) ranks[static_cast<std::size_t>(b)] = static_cast<unsigned char>(next++);
    }
    return ranks;
  }();
  const char16_t upper = FoldCase(Utf16FromWin1251(std::string(1, static_cast<char>(byte)))[0]);
  const auto weight = [](int group, int rank) {
    return std::pair{static_cast<char>(group), static_cast<char>(2 + rank)};
  };
  if (upper >= u'0' && upper <= u'9') return weight(3, upper - u'0');
  if (upper >= u'A' && upper <= u'Z') return weight(4, upper - u'A');
  if (upper == 0x401) return weight(5, 0x415 - 0x410);  // Ё is Е here
  if (upper >= 0x410 && upper <= 0x42F) return weight(5, upper - 0x410);
  if (upper >= 0x400 && upper <= 0x4FF) return weight(6, upper & 0xFF);
  return {2, static_cast<char>(symbolRanks[byte])};
}

// The first-level weight of a byte of Windows-1252, as a locale that reads
// the bytes in that code page weighs it: the ASCII bytes as above, a Latin
// letter with a diacritic as its base letter (À as A, ß as S), any other
// byte a symbol.
std::pair<char, char> Weight1252(unsigned char byte) {
  // 0xC0 to 0xFF; '*' a symbol (× and ÷). Þ reads as T, ð as D.
  static constexpr char kBase[] = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTSAAAAAAACEEEEIIIIDNOOOOO*OUUUUYTY";
  char base = 0;
  if (byte >= 0xC0) {
    base = kBase[byte - 0xC0];
  } else if (byte == 0x8A || byte == 0x9A) {
    base = 'S';  // Š š
  } else if (byte == 0x8E || byte == 0x9E) {
    base = 'Z';  // Ž ž
  } else if (byte == 0x8C || byte == 0x9C) {
    base = 'O';  // Œ œ
  } else if (byte == 0x9F) {
    base = 'Y';  // Ÿ
  }
  if (byte < 0x80) return Weight(byte);
  if (base == 0 || base == '*') return {2, static_cast<char>(2 + (byte - 0x80))};
  return Weight(static_cast<unsigned char>(base));
}

// A sort key of a text as the user's locale makes it, in four levels: the
// letters, digits and other symbols (all symbols before all digits, digits
// before Latin letters, Latin before Cyrillic, ё with е); then the
// diacritics (ё after е); then the case (lower before upper), unless
// `ignoreCase`; then hyphens and apostrophes, which weigh nothing on the first
// levels (a word sort). The levels are separated by 1 and the key ends in 0,
// so keys compare byte by byte. The bytes are Windows-1251, or Windows-1252
// where `codePage` says so. Russian letters are in their alphabet's order;
// the other Cyrillic letters follow я, and symbols follow one another in code
// order (both unlike Windows, which no comparison here relies on).
std::string SortKey(std::string_view text, bool ignoreCase, unsigned codePage = 1251) {
  std::string letters, diacritics, cases, specials;
  std::size_t position = 0;
  for (const char byte : text) {
    const auto b = static_cast<unsigned char>(byte);
    if (b == '-' || b == '\'') {
      specials += static_cast<char>(2 + position / 250);
      specials += static_cast<char>(2 + position % 250);
      specials += b == '-' ? '\3' : '\2';
      continue;
    }
    if (b == 0xAD) continue;  // a soft hyphen weighs nothing at all
    const bool latin = codePage == 1252;
    const auto [group, rank] = latin ? Weight1252(b) : Weight(b);
    letters += group;
    letters += rank;
    const bool marked = latin ? b >= 0xC0 && b != 0xD7 && b != 0xF7 : b == 0xA8 || b == 0xB8;
    diacritics += marked ? '\3' : '\2';  // Ё, ё; À, à ...
    cases += FoldCase(b) != b ? '\2' : '\3';
    ++position;
  }
  std::string key = letters + '\1' + diacritics + '\1';
  if (!ignoreCase) key += cases + '\1';
  return key + specials + '\0';
}

// The names of `path` as Windows reads a path before it looks anything up:
// "." and ".." fold away; a name with more after it (a '\' at least) loses
// one trailing dot, the last name all its trailing dots and spaces, so
// "D:\a\.. " is "D:\a" while "D:\a\.. \" is the folder ".. " inside it.
// Nothing when the path names what no entry can bear: "D:\...\" reads as
// "D:\..\" with a literal ".." (as `dots` has it).
std::optional<std::vector<std::string>> ReadPath(const std::string& path,
                                                 MemoryPlatform::DotsReading dots) {
  const std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) return std::vector<std::string>{};
  const bool endsInSeparator = path.back() == '\\';
  std::vector<std::string> names{parts[0]};  // the drive
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::string name = parts[i];
    if (name == "." || name == "..") {
      if (name == ".." && names.size() > 1) names.pop_back();
      continue;
    }
    if (i + 1 == parts.size() && !endsInSeparator) {
      while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
      if (name.empty()) continue;
    } else if (name.back() == '.') {
      name.pop_back();
      if (name == "..") {  // "..." less its dot
        if (dots == MemoryPlatform::DotsReading::Wine) return std::nullopt;
        if (dots == MemoryPlatform::DotsReading::Windows) {
          name = "...";
        } else {
          if (names.size() > 1) names.pop_back();
          continue;
        }
      }
    }
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

struct MemoryPlatform::Node {
  std::string Name;
  std::string ShortName;
  std::string ListedName;  // what a listing shows, when not Name
  std::uint32_t Attributes = 0;
  std::int64_t Size = 0;
  std::string Content;
  bool ListingDenied = false;
  bool CreateDenied = false;
  bool ReadOnlyVolume = false;  // of a drive's root
  Node* Drive = nullptr;        // the root of the entry's volume
  std::uint64_t Index = 0;
  std::vector<Node*> Children;
  Node* LinkTarget = nullptr;  // a folder link's entry leads here

  Node* Resolved() { return LinkTarget != nullptr ? LinkTarget : this; }

  [[nodiscard]] bool IsFolder() const { return (Attributes & win::kFileAttributeDirectory) != 0; }
};

struct MemoryPlatform::Open {
  Kind Type = Kind::File;
  bool Foreign = false;               // held by another program (HoldOpen)
  Node* Target = nullptr;             // file or folder handle
  std::uint32_t Access = 0;
  std::uint32_t Share = 0;
  std::vector<FindData> Entries;      // find listing
  std::size_t Next = 0;
};

MemoryPlatform::MemoryPlatform() { previous_ = SetPlatform(this); }

MemoryPlatform::~MemoryPlatform() { SetPlatform(previous_); }

MemoryPlatform::Node* MemoryPlatform::Find(const std::string& path) const {
  const std::optional<std::vector<std::string>> names = ReadPath(path, DotsNames);
  return names ? Find(*names) : nullptr;
}

MemoryPlatform::Node* MemoryPlatform::LookUp(const std::string& path, long& error) const {
  error = win::kErrorSuccess;
  if (path.size() > kLongestPath) {
    error = kErrorFilenameExcedRange;
    return nullptr;
  }
  if (path.find_first_of("*?<>\"|", 2) != std::string::npos) {
    error = kErrorInvalidName;
    return nullptr;
  }
  std::optional<std::vector<std::string>> names = ReadPath(path, DotsNames);
  if (Node* node = names ? Find(*names) : nullptr) return node;
  if (names && !names->empty()) names->pop_back();
  const Node* folder = names && !names->empty() ? Find(*names) : nullptr;
  error = folder != nullptr && folder->IsFolder() ? kErrorFileNotFound : kErrorPathNotFound;
  return nullptr;
}

MemoryPlatform::Node* MemoryPlatform::Find(const std::vector<std::string>& parts) const {
  if (parts.empty()) return nullptr;
  std::string drive = parts[0];
  std::transform(drive.begin(), drive.end(), drive.begin(), [](char c) {
    return static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  });
  const auto root = drives_.find(drive);
  if (root == drives_.end()) return nullptr;
  Node* node = root->second;
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

MemoryPlatform::Node* MemoryPlatform::Make(const std::string& path, bool folder, bool create) {
  const std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) return nullptr;
  std::string drive = parts[0];
  std::transform(drive.begin(), drive.end(), drive.begin(), [](char c) {
    return static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  });
  if (!create && drives_.count(drive) == 0) return nullptr;
  Node*& root = drives_[drive];
  if (root == nullptr) {
    nodes_.push_back(std::make_unique<Node>());
    root = nodes_.back().get();
    root->Name = drive;
    root->Attributes = win::kFileAttributeDirectory;
    root->Index = nodes_.size();
    root->Drive = root;
  }
  Node* node = root;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    auto found = std::find_if(node->Children.begin(), node->Children.end(),
                              [&](Node* child) { return SameName(child->Name, parts[i]); });
    if (found != node->Children.end()) {
      node = *found;
      continue;
    }
    if (!create) return nullptr;
    nodes_.push_back(std::make_unique<Node>());
    Node* child = nodes_.back().get();
    child->Name = parts[i];
    child->Index = nodes_.size();
    child->Drive = root;
    child->Attributes = (folder || i + 1 < parts.size()) ? win::kFileAttributeDirectory
                                                         : win::kFileAttributeArchive;
    node->Children.push_back(child);
    node = child;
  }
  return node;
}

MemoryPlatform::Node* MemoryPlatform::Existing(const std::string& path, const char* helper,
                                               bool asAdded) const {
  Node* node = asAdded ? const_cast<MemoryPlatform*>(this)->Make(path, false, false) : Find(path);
  if (node == nullptr) Misuse(std::string(helper) + ": nothing at \"" + path + "\"");
  return node;
}

void MemoryPlatform::AddFolder(const std::string& path, std::uint32_t attributes) {
  Make(path, true)->Attributes = attributes | win::kFileAttributeDirectory;
}

void MemoryPlatform::AddFile(const std::string& path, std::int64_t size, std::uint32_t attributes) {
  Node* file = Make(path, false);
  file->Size = size;
  file->Attributes = attributes;
}

void MemoryPlatform::AddFolderLink(const std::string& linkPath, const std::string& targetFolder) {
  Node* target = Existing(targetFolder, "AddFolderLink", false);
  if (target == nullptr) return;
  if (!target->IsFolder()) {
    Misuse("AddFolderLink: \"" + targetFolder + "\" is no folder");
    return;
  }
  const std::size_t slash = linkPath.rfind('\\');
  Node* parent = Make(linkPath.substr(0, slash), true);
  // The link's entry carries its own name but leads to the target's node.
  nodes_.push_back(std::make_unique<Node>());
  Node* link = nodes_.back().get();
  link->Name = linkPath.substr(slash + 1);
  // Junctions and folder symbolic links are listed as reparse points.
  link->Attributes = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
  link->LinkTarget = target;
  link->Drive = parent->Drive;
  parent->Children.push_back(link);
}

void MemoryPlatform::SetShortName(const std::string& path, const std::string& shortName) {
  // The name as it was added, '?' and all.
  if (Node* node = Existing(path, "SetShortName", true)) node->ShortName = shortName;
}

void MemoryPlatform::SetListedName(const std::string& path, const std::string& listedName) {
  if (Node* node = Existing(path, "SetListedName", true)) node->ListedName = listedName;
}

void MemoryPlatform::DenyListing(const std::string& folder) {
  if (Node* node = Existing(folder, "DenyListing", false)) node->ListingDenied = true;
}

void MemoryPlatform::DenyCreate(const std::string& folder) {
  if (Node* node = Existing(folder, "DenyCreate", false)) node->CreateDenied = true;
}

void MemoryPlatform::SetReadOnlyVolume(const std::string& drive) {
  Make(drive, true)->Drive->ReadOnlyVolume = true;
}

NativeHandle MemoryPlatform::HoldOpen(const std::string& path, std::uint32_t access,
                                      std::uint32_t shareMode) {
  const NativeHandle held =
      OpenFile(path, access, shareMode, win::kOpenExisting, win::kFileAttributeNormal, true);
  if (held == kInvalidHandleValue) {
    Misuse("HoldOpen: \"" + path + "\" does not open, error " + std::to_string(lastError_));
  }
  return held;
}

void MemoryPlatform::Release(NativeHandle held) {
  const auto found = handles_.find(held);
  if (found == handles_.end() || !found->second->Foreign) {
    Misuse("Release of " + Hex(held) + ", which HoldOpen did not hand out");
    return;
  }
  handles_.erase(found);
}

bool MemoryPlatform::Exists(const std::string& path) const { return Find(path) != nullptr; }

std::string MemoryPlatform::FileContent(const std::string& path) const {
  const Node* file = Existing(path, "FileContent", false);
  return file != nullptr ? file->Content : std::string();
}

std::size_t MemoryPlatform::OpenHandleCount() const {
  return static_cast<std::size_t>(std::count_if(
      handles_.begin(), handles_.end(), [](const auto& handle) { return !handle.second->Foreign; }));
}

void MemoryPlatform::SetCodePage(unsigned codePage) {
  leadBytes_.clear();
  if (codePage == 932) {
    leadBytes_ = {{0x81, 0x9F}, {0xE0, 0xFC}};
  } else if (codePage == 936 || codePage == 949 || codePage == 950) {
    leadBytes_ = {{0x81, 0xFE}};
  }
}

NativeHandle MemoryPlatform::Fail(long error) {
  lastError_ = static_cast<std::uint32_t>(error);
  return kInvalidHandleValue;
}

NativeHandle MemoryPlatform::AddHandle(std::unique_ptr<Open> open) {
  const NativeHandle handle = nextHandle_ += 4;
  handles_[handle] = std::move(open);
  return handle;
}

MemoryPlatform::Open* MemoryPlatform::Use(NativeHandle handle, Kind kind, const char* call) {
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
  lastError_ = kErrorInvalidHandle;
  return nullptr;
}

void MemoryPlatform::Close(NativeHandle handle, Kind kind, const char* call) {
  if (Use(handle, kind, call) == nullptr) return;
  handles_.erase(handle);
  closed_[handle] = kind;
  Succeeded();
}

NativeHandle MemoryPlatform::FindFirstFileA(const std::string& mask, FindData& data) {
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
    // "*.*" is every name, those without a dot too.
    const std::string wanted = pattern == "*.*" ? "*" : pattern;
    if (SplitPath(mask).size() > 2) {  // a drive's root has no "." and ".."
      for (const char* dots : {".", ".."}) {
        if (Matches(wanted, dots)) listing->Entries.push_back({win::kFileAttributeDirectory, dots, ""});
      }
    }
    for (const Node* child : folder->Children) {
      if (Matches(wanted, child->Name)) add(*child);
    }
    if (listing->Entries.empty()) return Fail(kErrorFileNotFound);
  }
  data = listing->Entries[0];
  listing->Next = 1;
  Succeeded();
  return AddHandle(std::move(listing));
}

bool MemoryPlatform::FindNextFileA(NativeHandle find, FindData& data) {
  Open* listing = Use(find, Kind::Find, "FindNextFileA");
  if (listing == nullptr) return false;
  if (listing->Next >= listing->Entries.size()) {
    lastError_ = kErrorNoMoreFiles;
    return false;
  }
  data = listing->Entries[listing->Next++];
  Succeeded();
  return true;
}

void MemoryPlatform::FindClose(NativeHandle find) { Close(find, Kind::Find, "FindClose"); }

NativeHandle MemoryPlatform::CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                                         std::uint32_t shareMode,
                                         std::uint32_t creationDisposition,
                                         std::uint32_t flagsAndAttributes) {
  Opens.push_back(fileName);
  return OpenFile(fileName, desiredAccess, shareMode, creationDisposition, flagsAndAttributes,
                  false);
}

NativeHandle MemoryPlatform::OpenFile(const std::string& fileName, std::uint32_t desiredAccess,
                                      std::uint32_t shareMode, std::uint32_t creationDisposition,
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
    if (parent->Drive->ReadOnlyVolume) return Fail(kErrorAccessDenied);
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
    if (writes && ((node->Attributes & kFileAttributeReadOnly) != 0 || node->Drive->ReadOnlyVolume)) {
      return Fail(kErrorAccessDenied);
    }
    if (sharingRefuses(node)) return Fail(kErrorSharingViolation);
  }
  // A file made anew clears the last error, one replaced answers
  // ERROR_ALREADY_EXISTS; an open of what is there says nothing.
  if (creationDisposition == win::kCreateAlways) {
    lastError_ = replaced ? kErrorAlreadyExists : win::kErrorSuccess;
  } else {
    Succeeded();
  }
  auto open = std::make_unique<Open>();
  open->Type = Kind::File;
  open->Foreign = foreign;
  open->Target = node;
  open->Access = desiredAccess;
  open->Share = shareMode;
  return AddHandle(std::move(open));
}

std::uint32_t MemoryPlatform::GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) {
  const Open* open = Use(file, Kind::File, "GetFileSize");
  if (open == nullptr) return win::kInvalidFileSize;
  const auto size = static_cast<std::uint64_t>(open->Target->Size);
  fileSizeHigh = static_cast<std::uint32_t>(size >> 32);
  // As kernel32 does: a low part that reads as INVALID_FILE_SIZE comes with
  // ERROR_SUCCESS as the last error, whatever it was before.
  if (static_cast<std::uint32_t>(size) == win::kInvalidFileSize) {
    lastError_ = win::kErrorSuccess;
  } else {
    Succeeded();
  }
  return static_cast<std::uint32_t>(size);
}

bool MemoryPlatform::GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) {
  const Open* open = Use(file, Kind::File, "GetFileInformationByHandle");
  if (open == nullptr) return false;
  // Each drive a volume of its own serial.
  identity.VolumeSerialNumber = 0x1234AB00u | static_cast<unsigned char>(open->Target->Drive->Name[0]);
  identity.FileIndex = NoFileIndex ? 0 : open->Target->Index;
  Succeeded();
  return true;
}

bool MemoryPlatform::WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                               std::uint32_t& bytesWritten) {
  bytesWritten = 0;
  const Open* open = Use(file, Kind::File, "WriteFile");
  if (open == nullptr) return false;
  if ((open->Access & kWriteAccess) == 0) {
    lastError_ = kErrorAccessDenied;
    return false;
  }
  Node* target = open->Target;
  bytesWritten = std::min(bytesToWrite, WriteLimit);
  target->Content.append(static_cast<const char*>(buffer), bytesWritten);
  target->Size = static_cast<std::int64_t>(target->Content.size());
  Succeeded();
  return true;
}

void MemoryPlatform::CloseHandle(NativeHandle handle) { Close(handle, Kind::File, "CloseHandle"); }

std::uint32_t MemoryPlatform::GetFileAttributesA(const std::string& fileName) {
  long error = win::kErrorSuccess;
  const Node* node = LookUp(fileName, error);
  if (node == nullptr) {
    lastError_ = static_cast<std::uint32_t>(error);
    return win::kInvalidFileAttributes;
  }
  Succeeded();
  return node->Attributes;
}

std::string MemoryPlatform::GetFullPathNameA(const std::string& fileName) {
  std::string full;
  if (fileName.size() >= 2 && fileName[1] == ':') {
    full = fileName;
  } else if (!fileName.empty() && fileName[0] == '\\') {
    full = CurrentDirectory.substr(0, 2) + fileName;
  } else {
    full = CurrentDirectory + fileName;
  }
  // Read as a lookup reads it (ReadPath); a trailing separator stays.
  const std::optional<std::vector<std::string>> names = ReadPath(full, DotsNames);
  Succeeded();
  if (!names || names->empty()) return full;
  std::string result;
  for (const std::string& name : *names) result += (result.empty() ? "" : "\\") + name;
  if (names->size() == 1 || full.back() == '\\') result += '\\';
  return result;
}

std::string MemoryPlatform::FormatMessageA(std::uint32_t messageId) {
  static const std::map<long, const char*> texts = {
      {win::kErrorSuccess, "The operation completed successfully."},
      {kErrorFileNotFound, "The system cannot find the file specified."},
      {kErrorPathNotFound, "The system cannot find the path specified."},
      {kErrorAccessDenied, "Access is denied."},
      {kErrorInvalidHandle, "The handle is invalid."},
      {win::kErrorNotReady, "The device is not ready."},
      {kErrorSharingViolation,
       "The process cannot access the file because it is being used by another process."},
      {kErrorInvalidName, "The filename, directory name, or volume label syntax is incorrect."},
      {kErrorAlreadyExists, "Cannot create a file when that file already exists."},
      {kErrorFilenameExcedRange, "The filename or extension is too long."},
  };
  const auto found = texts.find(static_cast<long>(messageId));
  if (found == texts.end()) {
    lastError_ = kErrorMrMidNotFound;
    return {};
  }
  Succeeded();
  return std::string(found->second) + "\r\n";
}

// As Windows does: TMP, else TEMP, else the system's folder, with a trailing
// backslash; whether the folder is there is not checked.
std::string MemoryPlatform::GetTempPathA() {
  const std::string* variable = Variable("TMP");
  if (variable == nullptr || variable->empty()) variable = Variable("TEMP");
  if (variable == nullptr || variable->empty()) {
    Succeeded();
    return TempPath;
  }
  std::string path = GetFullPathNameA(*variable);
  if (path.back() != '\\') path += '\\';
  return path;
}

// The folder GetTempPathA answers, as GetShortEnvironmentVariableA respells
// the variable it comes from.
std::string MemoryPlatform::GetShortTempPathA() {
  for (const char* name : {"TMP", "TEMP"}) {
    const std::string* variable = Variable(name);
    if (variable == nullptr || variable->empty()) continue;
    std::string path = GetShortEnvironmentVariableA(name);
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
  }
  return ShortTempPath;
}

std::string MemoryPlatform::GetEnvironmentVariableA(const std::string& name) {
  EnvironmentReads.push_back(name);
  const std::string* value = Variable(name);
  if (value == nullptr) {
    lastError_ = kErrorEnvvarNotFound;
    return {};
  }
  Succeeded();
  return *value;
}

const std::string* MemoryPlatform::Variable(const std::string& name) const {
  for (const auto& [key, value] : Environment) {
    if (SameName(key, name)) return &value;
  }
  return nullptr;
}

int MemoryPlatform::ShellExecuteA(const std::string& operation, const std::string& file,
                                  int showCommand) {
  ShellRequests.push_back({operation, file, showCommand, apartments_.empty() ? 0 : apartments_[0]});
  const Node* node = Find(file);
  if (node == nullptr || node->IsFolder()) return kSeErrFnf;
  const std::size_t dot = file.rfind('.');
  const std::string type = dot == std::string::npos ? std::string() : file.substr(dot);
  const bool associated = std::any_of(Associations.begin(), Associations.end(),
                                      [&](const std::string& known) { return SameName(known, type); });
  return associated ? 42 : kSeErrNoAssoc;  // any answer above 32 means the shell took it
}

std::int32_t MemoryPlatform::CoInitializeEx(std::uint32_t coInit) {
  if (CoInitializeAnswer < 0) return CoInitializeAnswer;
  constexpr std::uint32_t kSingleThreaded = win::kCoinitApartmentThreaded;
  if (!apartments_.empty() && (apartments_[0] & kSingleThreaded) != (coInit & kSingleThreaded)) {
    return win::kRpcEChangedMode;
  }
  apartments_.push_back(coInit);
  return apartments_.size() == 1 ? CoInitializeAnswer : win::kSFalse;
}

void MemoryPlatform::CoUninitialize() {
  if (apartments_.empty()) {
    Misuse("CoUninitialize without a CoInitializeEx to release");
    return;
  }
  apartments_.pop_back();
}

std::string MemoryPlatform::GetShortEnvironmentVariableA(const std::string& name) {
  for (const auto& [key, value] : ShortEnvironment) {
    if (SameName(key, name) && Variable(name) != nullptr) return value;
  }
  return {};
}

int MemoryPlatform::MessageBoxA(const std::string& text, const std::string& caption,
                                std::uint32_t type) {
  MessageBoxes.push_back({text, caption, type});
  return 1;  // IDOK
}

int MemoryPlatform::CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                                   std::string_view string2) {
  if ((cmpFlags & ~(win::kNormIgnoreCase | win::kLocaleUseCpAcp)) != 0) {
    lastError_ = kErrorInvalidFlags;
    return 0;
  }
  const bool ignoreCase = (cmpFlags & win::kNormIgnoreCase) != 0;
  const unsigned codePage = ReadingCodePage(cmpFlags);
  const int order =
      SortKey(string1, ignoreCase, codePage).compare(SortKey(string2, ignoreCase, codePage));
  Succeeded();
  return order < 0 ? win::kCstrLessThan : order == 0 ? win::kCstrEqual : win::kCstrGreaterThan;
}

// Only sort keys, and only with the flags the stand-in knows.
std::string MemoryPlatform::LCMapStringA(std::uint32_t mapFlags, std::string_view source) {
  if ((mapFlags & ~(win::kLcmapSortKey | win::kNormIgnoreCase | win::kLocaleUseCpAcp)) != 0 ||
      (mapFlags & win::kLcmapSortKey) == 0) {
    lastError_ = kErrorInvalidFlags;
    return {};
  }
  Succeeded();
  return SortKey(source, (mapFlags & win::kNormIgnoreCase) != 0, ReadingCodePage(mapFlags));
}

unsigned MemoryPlatform::ReadingCodePage(std::uint32_t flags) const {
  return (flags & win::kLocaleUseCpAcp) != 0 ? 1251 : FormatsCodePage;
}

bool MemoryPlatform::IsDBCSLeadByte(unsigned char byte) {
  return std::any_of(leadBytes_.begin(), leadBytes_.end(),
                     [byte](auto range) { return byte >= range.first && byte <= range.second; });
}

}  // namespace reelstart

namespace reelstart {

std::string MemoryPlatform::CharUpperBuffA(std::string text) {
  Succeeded();
  return Folded(std::move(text));
}

std::string MemoryPlatform::GetLocaleInfoA(std::uint32_t lcType) {
  LocaleInfoReads.push_back(lcType);
  const auto found = LocaleInfo.find(lcType);
  if (found == LocaleInfo.end()) {
    lastError_ = kErrorInvalidFlags;
    return {};
  }
  Succeeded();
  return found->second;
}

std::string MemoryPlatform::LoadStringA(std::uint32_t id) {
  const auto found = StringTable.find(id);
  if (found == StringTable.end()) {
    lastError_ = kErrorResourceNameNotFound;
    return {};
  }
  Succeeded();
  return found->second.substr(0, 1023);
}

const std::string* MemoryPlatform::VersionResource(const std::string& fileName) const {
  const Node* file = Find(fileName);
  if (file == nullptr || file->IsFolder()) return nullptr;
  for (const auto& [path, resource] : VersionResources) {
    if (Find(path) == file) return resource.empty() ? nullptr : &resource;
  }
  return nullptr;
}

std::uint32_t MemoryPlatform::GetFileVersionInfoSizeA(const std::string& fileName) {
  long error = win::kErrorSuccess;
  if (LookUp(fileName, error) == nullptr) {
    lastError_ = static_cast<std::uint32_t>(error);
    return 0;
  }
  const std::string* resource = VersionResource(fileName);
  if (resource == nullptr) {
    lastError_ = kErrorResourceTypeNotFound;
    return 0;
  }
  Succeeded();
  return static_cast<std::uint32_t>(resource->size() * 2 + sizeof kVersionSignature);
}

bool MemoryPlatform::GetFileVersionInfoA(const std::string& fileName, std::string& block) {
  const std::string* resource = VersionResource(fileName);
  if (resource == nullptr) {
    lastError_ = kErrorResourceTypeNotFound;
    return false;
  }
  // A block too small for the whole resource gets what fits.
  resource->copy(block.data(), std::min(block.size(), resource->size()));
  const std::size_t length = StoredLength(block);
  if (block.size() >= length + sizeof kVersionSignature) {
    std::memcpy(block.data() + length, kVersionSignature, sizeof kVersionSignature);
  }
  Succeeded();
  return true;
}

bool MemoryPlatform::VerQueryValueA(std::string& block, const std::string& subBlock,
                                    const void*& value, std::uint32_t& length) {
  value = nullptr;
  length = 0;
  VersionNode node;
  if (!FindVersionNode(block, subBlock, node)) {
    lastError_ = kErrorResourceTypeNotFound;
    return false;
  }
  if (!node.IsText) {
    value = block.data() + node.ValueOffset;
    length = static_cast<std::uint32_t>(node.ValueSize);
    Succeeded();
    return true;
  }
  // The ANSI text goes where Windows puts it: past the resource and its
  // signature, at the offset the UTF-16 text has in the resource, followed by
  // a zero (at the block's very end, the string's own). A block without that
  // room (not loaded by GetFileVersionInfoA) answers nothing.
  const std::string text = Win1251FromUtf16(VersionText(block, node));
  const std::size_t target = StoredLength(block) + sizeof kVersionSignature + node.ValueOffset;
  if (target > block.size() || block.size() - target < text.size()) return false;
  std::memcpy(block.data() + target, text.data(), text.size());
  if (target + text.size() < block.size()) block[target + text.size()] = '\0';
  value = block.data() + target;
  length = static_cast<std::uint32_t>(text.size());
  Succeeded();
  return true;
}

std::optional<MemoryPlatform::RegistryValue> MemoryPlatform::GetRegistryValue(
    RegistryKey root, const std::string& key, const std::string& name) const {
  const auto values = registry_.find({root, Folded(key)});
  if (values == registry_.end()) return std::nullopt;
  const auto value = values->second.find(Folded(name));
  if (value == values->second.end()) return std::nullopt;
  return value->second;
}

void MemoryPlatform::SetRegistryValue(RegistryKey root, const std::string& key,
                                      const std::string& name, RegistryValue value) {
  registry_[{root, Folded(key)}][Folded(name)] = std::move(value);
}

bool MemoryPlatform::RegistryKeyExists(RegistryKey root, const std::string& key) const {
  return registry_.count({root, Folded(key)}) != 0;
}

const std::pair<RegistryKey, std::string>* MemoryPlatform::ResolveKey(RegistryKey key,
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

long MemoryPlatform::RegCreateKeyExA(RegistryKey key, const std::string& subKey,
                                     std::uint32_t /*options*/, std::uint32_t /*samDesired*/,
                                     RegistryKey& result) {
  result = 0;
  const auto* parent = ResolveKey(key, "RegCreateKeyExA");
  if (parent == nullptr) return kErrorInvalidHandle;
  const RegistryKey root = parent->first;
  if (std::find(deniedRoots_.begin(), deniedRoots_.end(), root) != deniedRoots_.end()) {
    return kErrorAccessDenied;
  }
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

long MemoryPlatform::RegSetValueExA(RegistryKey key, const std::string& valueName,
                                    std::uint32_t type, const void* data, std::uint32_t size) {
  // A key that was never opened (or is closed) is no key, as on Windows.
  const auto* open = ResolveKey(key, "RegSetValueExA");
  if (open == nullptr) return kErrorInvalidHandle;
  if (std::find(deniedRoots_.begin(), deniedRoots_.end(), open->first) != deniedRoots_.end()) {
    return kErrorAccessDenied;
  }
  registry_[{open->first, Folded(open->second)}][Folded(valueName)] = {
      type, std::string(static_cast<const char*>(data), size)};
  RegistryWrites.push_back({open->first, open->second, valueName});
  return win::kErrorSuccess;
}

long MemoryPlatform::RegQueryValueExA(RegistryKey key, const std::string& valueName,
                                      std::uint32_t& type, void* data, std::uint32_t& size) {
  const auto* open = ResolveKey(key, "RegQueryValueExA");
  if (open == nullptr) return kErrorInvalidHandle;
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

long MemoryPlatform::RegCloseKey(RegistryKey key) {
  if (keys_.erase(key) != 0) {
    closedKeys_.push_back(key);
    return win::kErrorSuccess;
  }
  // Windows lets a program close a predefined root.
  if (key == kHkeyCurrentUser || key == kHkeyLocalMachine) return win::kErrorSuccess;
  Misuse("RegCloseKey of a key not open " + Hex(key));
  return kErrorInvalidHandle;
}

}  // namespace reelstart
