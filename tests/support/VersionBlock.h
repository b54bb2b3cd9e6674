// Reading a version resource block (VS_VERSIONINFO) as Windows stores it in a
// 32-bit executable: a tree of nodes, each
//
//   WORD wLength        bytes of the node, its children included
//   WORD wValueLength   characters (text value) or bytes (binary value)
//   WORD wType          1: text value (UTF-16), 0: binary value
//   WCHAR szKey[]       zero-terminated UTF-16 key
//   padding to 32 bits, the value, padding to 32 bits, the children
//
// with the next sibling at the node's start plus wLength rounded up to 32
// bits. The root ("VS_VERSION_INFO") holds VS_FIXEDFILEINFO as its value and
// "StringFileInfo" and "VarFileInfo" as children.
//
// The reader is meant for bytes of any origin: every read stays inside the
// block and inside the node's parent, a node whose key runs past its end is no
// node, and a value that runs past its node is cut at the node's end. It backs
// the host platform's VerQueryValueA and the checks of the executable's
// resources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reelstart {

struct VersionNode {
  std::size_t Offset = 0;          // of the node's first byte in the block
  std::size_t End = 0;             // one past its last byte, within its parent
  std::uint16_t Length = 0;        // wLength as stored
  std::uint16_t ValueLength = 0;   // wValueLength as stored
  bool IsText = false;             // wType == 1
  std::u16string Key;
  std::size_t ValueOffset = 0;     // of the value's first byte in the block
  std::size_t ValueSize = 0;       // bytes of the value inside the node
  std::size_t ChildrenOffset = 0;  // where the first child would start
};

// Reads the node at `offset` of `block`, which must end by `limit`. False
// when no node fits there.
bool ReadVersionNode(std::string_view block, std::size_t offset, std::size_t limit,
                     VersionNode& node);

// The root node: the node at the start of the block, within the block's
// first wLength bytes.
bool ReadVersionRoot(std::string_view block, VersionNode& root);

// The children of `node` in stored order, up to the first that does not fit.
std::vector<VersionNode> VersionChildren(std::string_view block, const VersionNode& node);

// Follows `path` from the root as VerQueryValueA does: components separated
// by '\', empty ones skipped ("\" alone is the root), each matched against
// the keys of the current node's children, letters compared without regard to
// case, the first match taken. `path` is Windows-1251 text. False when a
// component has no match.
bool FindVersionNode(std::string_view block, std::string_view path, VersionNode& node);

// The UTF-16 units of a node's value (for a text node), as stored, the
// terminating zero included when wValueLength counts it.
std::u16string VersionText(std::string_view block, const VersionNode& node);

}  // namespace reelstart
