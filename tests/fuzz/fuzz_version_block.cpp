// Version resources of any bytes: the node reader over the whole tree, the
// path lookup VerQueryValueA answers from, and TQVFileVersionInfo::Refresh
// over the block as a file's resource on the in-memory platform.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "platform/Win1251.h"
#include "support/Platform_mem.h"
#include "support/VersionBlock.h"
#include "version/QVVersion.h"

namespace {

using namespace reelstart;

constexpr char kFile[] = "D:\\start.exe";
constexpr std::size_t kMostNodes = 256;  // enough for any real resource

struct Walk {
  std::string_view block;
  std::size_t nodes = 0;
};

void CheckNode(Walk& walk, const VersionNode& node, const VersionNode* parent,
               const std::string& path) {
  if (++walk.nodes > kMostNodes) return;
  const std::string_view block = walk.block;
  FUZZ_CHECK(node.Offset < node.End && node.End <= block.size());
  FUZZ_CHECK(node.Offset <= node.ValueOffset && node.ValueOffset <= node.End);
  FUZZ_CHECK(node.ValueSize <= node.End - node.ValueOffset);
  FUZZ_CHECK(node.Key.find(u'\0') == std::u16string::npos);
  FUZZ_CHECK(VersionText(block, node).size() == node.ValueSize / 2);
  if (parent != nullptr) {
    FUZZ_CHECK(parent->ChildrenOffset <= node.Offset && node.End <= parent->End);
  }

  // A node is found by its path when every key on it can be written in
  // Windows-1251 and holds no '\'; an earlier sibling of the same key, letters
  // compared without regard to case, is found instead.
  bool shadowed = false;
  if (!path.empty()) {
    VersionNode found;
    FUZZ_CHECK(FindVersionNode(block, path, found));
    FUZZ_CHECK(found.Offset <= node.Offset && found.Key.size() == node.Key.size());
    shadowed = found.Offset != node.Offset;
  }
  const bool spelled = parent == nullptr || (!path.empty() && !shadowed);
  for (const VersionNode& child : VersionChildren(block, node)) {
    const std::string key = Win1251FromUtf16(child.Key);
    const bool reachable = spelled && !key.empty() && key.find('\\') == std::string::npos &&
                           Utf16FromWin1251(key) == child.Key;
    CheckNode(walk, child, &node, reachable ? path + "\\" + key : std::string());
  }
}

void CheckRecord(const std::string& resource) {
  MemoryPlatform platform;
  platform.StringTable[65436] = "File \"%s\" not found.";
  platform.AddFile(kFile, 50000);
  platform.VersionResources[kFile] = resource;

  TQVFileVersionInfo info;
  info.SetFileName(kFile);
  FUZZ_CHECK(info.Language.empty() ||
             (info.Language.size() == 8 &&
              info.Language.find_first_not_of("0123456789ABCDEF") == std::string::npos));
  for (const std::string* field :
       {&info.Author, &info.Comments, &info.CompanyName, &info.FileDescription, &info.FileVersion,
        &info.InternalName, &info.LegalCopyright, &info.LegalTrademarks,
        &info.OriginalFilename, &info.ProductName, &info.ProductVersion, &info.PublisherSite,
        &info.ReleaseDate}) {
    FUZZ_CHECK(field->find('\0') == std::string::npos);
    FUZZ_CHECK(field->size() <= resource.size() / 2);
  }
  if (info.CompanyName != "Velkor Programs") {
    FUZZ_CHECK(info.Author.empty() && info.PublisherSite.empty() && info.ReleaseDate.empty());
  }
  (void)info.GetReleaseDate();

  // Loading again reads the same.
  TQVFileVersionInfo again = info;
  again.Refresh();
  FUZZ_CHECK(again.Author == info.Author && again.Comments == info.Comments &&
             again.CompanyName == info.CompanyName && again.Language == info.Language &&
             again.ProductVersion == info.ProductVersion && again.ReleaseDate == info.ReleaseDate);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string resource(reinterpret_cast<const char*>(data), size);
  VersionNode root;
  if (ReadVersionRoot(resource, root)) {
    Walk walk{resource};
    CheckNode(walk, root, nullptr, std::string());
  }
  CheckRecord(resource);
  return 0;
}
