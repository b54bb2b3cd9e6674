// Builds version resources (VS_VERSIONINFO blocks) for the tests, laid out as
// a resource compiler lays them out: text values in UTF-16 with their
// terminating zero counted in wValueLength, every node and value aligned to
// 32 bits, wLength without the padding after the last child.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reelstart::version_builder {

struct VersionEntry {
  std::u16string Key;
  bool IsText = true;
  std::string Value;             // the value's bytes
  std::uint16_t ValueLength = 0;  // characters for text, bytes for binary
  std::vector<VersionEntry> Children;
};

inline void PutWord(std::string& bytes, std::uint16_t word) {
  bytes += static_cast<char>(word & 0xFF);
  bytes += static_cast<char>(word >> 8);
}

inline void PutDword(std::string& bytes, std::uint32_t dword) {
  PutWord(bytes, static_cast<std::uint16_t>(dword & 0xFFFF));
  PutWord(bytes, static_cast<std::uint16_t>(dword >> 16));
}

inline std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  for (const char16_t c : text) PutWord(bytes, c);
  return bytes;
}

// A string value: `text` and its terminating zero.
inline VersionEntry TextValue(std::u16string key, std::u16string_view text) {
  std::u16string stored(text);
  stored += u'\0';
  return {std::move(key), true, Utf16Bytes(stored), static_cast<std::uint16_t>(stored.size()), {}};
}

inline VersionEntry BinaryValue(std::u16string key, std::string bytes) {
  const auto length = static_cast<std::uint16_t>(bytes.size());
  return {std::move(key), false, std::move(bytes), length, {}};
}

// A node that only holds others ("StringFileInfo", a string table).
inline VersionEntry Block(std::u16string key, std::vector<VersionEntry> children) {
  return {std::move(key), true, {}, 0, std::move(children)};
}

inline std::string Translation(std::uint16_t language, std::uint16_t codePage) {
  std::string bytes;
  PutWord(bytes, language);
  PutWord(bytes, codePage);
  return bytes;
}

// VS_FIXEDFILEINFO of an application with the given versions (most and
// least significant 32 bits each).
inline std::string FixedFileInfo(std::uint32_t fileMs, std::uint32_t fileLs,
                                 std::uint32_t productMs, std::uint32_t productLs) {
  std::string bytes;
  for (const std::uint32_t dword :
       {0xFEEF04BDu, 0x00010000u, fileMs, fileLs, productMs, productLs, 0x3Fu, 0u, 0x40004u, 1u,
        0u, 0u, 0u}) {
    PutDword(bytes, dword);
  }
  return bytes;
}

inline void AlignTo4(std::string& bytes) {
  while (bytes.size() % 4 != 0) bytes += '\0';
}

inline std::string BuildVersionBlock(const VersionEntry& entry) {
  std::string bytes(6, '\0');
  bytes += Utf16Bytes(entry.Key);
  PutWord(bytes, 0);
  AlignTo4(bytes);
  bytes += entry.Value;
  for (const VersionEntry& child : entry.Children) {
    AlignTo4(bytes);
    bytes += BuildVersionBlock(child);
  }
  std::string header;
  PutWord(header, static_cast<std::uint16_t>(bytes.size()));
  PutWord(header, entry.ValueLength);
  PutWord(header, entry.IsText ? 1 : 0);
  bytes.replace(0, 6, header);
  return bytes;
}

// A whole resource: file and product version 1.0.0.0, then `children`.
inline std::string VersionResource(std::vector<VersionEntry> children) {
  VersionEntry root = BinaryValue(u"VS_VERSION_INFO", FixedFileInfo(0x10000, 0, 0x10000, 0));
  root.Children = std::move(children);
  return BuildVersionBlock(root);
}

// A resource with one string table for `translation` ("041904E3") holding
// `values`, the matching "\VarFileInfo\Translation", and `extra` nodes after
// them at the root.
inline std::string VersionResource(const std::u16string& table, std::vector<VersionEntry> values,
                                   std::uint16_t language, std::uint16_t codePage,
                                   std::vector<VersionEntry> extra = {}) {
  std::vector<VersionEntry> children = {
      Block(u"StringFileInfo", {Block(table, std::move(values))}),
      Block(u"VarFileInfo", {BinaryValue(u"Translation", Translation(language, codePage))}),
  };
  for (VersionEntry& node : extra) children.push_back(std::move(node));
  return VersionResource(std::move(children));
}

}  // namespace reelstart::version_builder
