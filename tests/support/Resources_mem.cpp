// The stand-in's resources of executables. What it believes of Windows, and
// the platform contract's cases (support/PlatformContract.h) that hold it to
// Wine:
// - GetFileVersionInfoSizeA answers twice the resource and 4 bytes; the
//   block GetFileVersionInfoA loads holds the resource, then "FE2X", then
//   room for the texts in the ANSI code page; VerQueryValueA answers binary
//   values ("\", 52 bytes; the translation) in place in the resource, a text
//   converted into that room, its length counting the zero; no such text or
//   table answers nothing; a file without a resource answers 0, a missing
//   file 0 and ERROR_FILE_NOT_FOUND: VersionBlocks;
// - LoadStringA gives 1023 characters at most (its buffer's 1024 less the
//   zero); an id without a string reads as empty, inside a block of strings
//   or outside any: StringResources.
// Believed without a case: what a block too small for the resource gets
// (what fits, and no signature where it does not fit).
#include "support/Resources_mem.h"

#include <algorithm>
#include <cstring>

#include "platform/Win1251.h"
#include "support/VersionBlock.h"
#include "support/Win32Constants.h"

namespace reelstart {

namespace {

constexpr char kVersionSignature[4] = {'F', 'E', '2', 'X'};

// The length a version block gives its resource (the root's wLength).
std::size_t StoredLength(std::string_view block) {
  if (block.size() < 2) return block.size();
  return static_cast<unsigned char>(block[0]) | static_cast<unsigned char>(block[1]) << 8;
}

}  // namespace

std::string MemoryResources::LoadStringA(std::uint32_t id) {
  const auto found = StringTable.find(id);
  if (found == StringTable.end()) {
    lastError_.Set(win::kErrorResourceNameNotFound);
    return {};
  }
  lastError_.Succeeded();
  return found->second.substr(0, 1023);
}

const std::string* MemoryResources::VersionResource(const std::string& fileName) const {
  if (!files_.IsFile(fileName)) return nullptr;
  for (const auto& [path, resource] : VersionResources) {
    if (files_.SameFile(path, fileName)) return resource.empty() ? nullptr : &resource;
  }
  return nullptr;
}

std::uint32_t MemoryResources::GetFileVersionInfoSizeA(const std::string& fileName) {
  if (const long error = files_.LookUpError(fileName); error != win::kErrorSuccess) {
    lastError_.Set(error);
    return 0;
  }
  const std::string* resource = VersionResource(fileName);
  if (resource == nullptr) {
    lastError_.Set(win::kErrorResourceTypeNotFound);
    return 0;
  }
  lastError_.Succeeded();
  return static_cast<std::uint32_t>(resource->size() * 2 + sizeof kVersionSignature);
}

bool MemoryResources::GetFileVersionInfoA(const std::string& fileName, std::string& block) {
  const std::string* resource = VersionResource(fileName);
  if (resource == nullptr) {
    lastError_.Set(win::kErrorResourceTypeNotFound);
    return false;
  }
  // A block too small for the whole resource gets what fits.
  resource->copy(block.data(), std::min(block.size(), resource->size()));
  const std::size_t length = StoredLength(block);
  if (block.size() >= length + sizeof kVersionSignature) {
    std::memcpy(block.data() + length, kVersionSignature, sizeof kVersionSignature);
  }
  lastError_.Succeeded();
  return true;
}

bool MemoryResources::VerQueryValueA(std::string& block, const std::string& subBlock,
                                     const void*& value, std::uint32_t& length) {
  value = nullptr;
  length = 0;
  VersionNode node;
  if (!FindVersionNode(block, subBlock, node)) {
    lastError_.Set(win::kErrorResourceTypeNotFound);
    return false;
  }
  if (!node.IsText) {
    value = block.data() + node.ValueOffset;
    length = static_cast<std::uint32_t>(node.ValueSize);
    lastError_.Succeeded();
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
  lastError_.Succeeded();
  return true;
}

}  // namespace reelstart
