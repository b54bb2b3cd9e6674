#include "support/VersionBlock.h"

#include <algorithm>

#include "platform/Win1251.h"
#include "support/CaseFold.h"

namespace reelstart {

namespace {

constexpr std::size_t kHeaderSize = 6;  // wLength, wValueLength, wType

std::uint16_t Word(std::string_view block, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(block[offset]) |
                                    static_cast<unsigned char>(block[offset + 1]) << 8);
}

// `position` rounded up to 32 bits from `base`, the start of its node.
std::size_t Align4(std::size_t base, std::size_t position) {
  return base + ((position - base + 3) & ~std::size_t{3});
}

bool SameKey(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return FoldCase(x) == FoldCase(y);
         });
}

}  // namespace

bool ReadVersionNode(std::string_view block, std::size_t offset, std::size_t limit,
                     VersionNode& node) {
  limit = std::min(limit, block.size());
  if (offset > limit || limit - offset < kHeaderSize) return false;
  node = VersionNode();
  node.Offset = offset;
  node.Length = Word(block, offset);
  node.ValueLength = Word(block, offset + 2);
  node.IsText = Word(block, offset + 4) == 1;
  if (node.Length < kHeaderSize) return false;
  node.End = std::min(limit, offset + node.Length);

  std::size_t position = offset + kHeaderSize;
  for (;;) {
    if (node.End - position < 2) return false;  // the key runs past the node
    const char16_t c = Word(block, position);
    position += 2;
    if (c == 0) break;
    node.Key += c;
  }
  node.ValueOffset = std::min(Align4(offset, position), node.End);
  const std::size_t declared = std::size_t{node.ValueLength} * (node.IsText ? 2 : 1);
  node.ValueSize = std::min(declared, node.End - node.ValueOffset);
  node.ChildrenOffset = Align4(offset, node.ValueOffset + declared);
  return true;
}

bool ReadVersionRoot(std::string_view block, VersionNode& root) {
  if (block.size() < kHeaderSize) return false;
  return ReadVersionNode(block, 0, Word(block, 0), root);
}

std::vector<VersionNode> VersionChildren(std::string_view block, const VersionNode& node) {
  std::vector<VersionNode> children;
  VersionNode child;
  // Each child is at least 8 bytes long once rounded, so the walk ends.
  for (std::size_t offset = node.ChildrenOffset;
       offset < node.End && ReadVersionNode(block, offset, node.End, child);
       offset = Align4(child.Offset, child.Offset + child.Length)) {
    children.push_back(child);
  }
  return children;
}

bool FindVersionNode(std::string_view block, std::string_view path, VersionNode& node) {
  if (!ReadVersionRoot(block, node)) return false;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      const std::u16string key = Utf16FromWin1251(path.substr(start, end - start));
      bool found = false;
      for (const VersionNode& child : VersionChildren(block, node)) {
        if (SameKey(child.Key, key)) {
          node = child;
          found = true;
          break;
        }
      }
      if (!found) return false;
    }
    start = end + 1;
  }
  return true;
}

std::u16string VersionText(std::string_view block, const VersionNode& node) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < node.ValueSize; i += 2) {
    text += static_cast<char16_t>(Word(block, node.ValueOffset + i));
  }
  return text;
}

}  // namespace reelstart
