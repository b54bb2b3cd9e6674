// The platform contract's cases for the stand-in's resources of executables
// (Resources_mem.cpp), held to Windows under Wine, and the program's string
// resources the cases expect (contract.rc holds the same).
#include "support/ContractCases.h"

#include <cstring>
#include <string>

namespace reelstart::contract {

using namespace win;

namespace {

constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

}  // namespace

void VersionBlocks(Context& c) {
  const std::string file = c.F.VersionedFile();
  const std::uint32_t size = c.P.GetFileVersionInfoSizeA(file);
  std::string block(size, '\0');
  c.True("loaded", size > 0 && c.P.GetFileVersionInfoA(file, block));
  const std::size_t resource = block.size() < 2 ? 0
                                                : static_cast<unsigned char>(block[0]) |
                                                      static_cast<unsigned char>(block[1]) << 8;
  // Twice the resource and 4 bytes: the resource, a signature, then room
  // for the texts in the ANSI code page.
  c.Eq("size for a resource of " + std::to_string(resource), size, 2 * resource + 4);
  if (resource + 4 <= block.size())
    c.Eq("signature", block.substr(resource, 4), std::string("FE2X"));
  const auto inResource = [&](const void* value) {
    return static_cast<const char*>(value) >= block.data() &&
           static_cast<const char*>(value) < block.data() + resource;
  };
  const void* value = nullptr;
  std::uint32_t length = 0;
  c.True("\\", c.P.VerQueryValueA(block, "\\", value, length));
  c.Eq("length of \\", length, 52u);
  c.True("\\ in place", inResource(value));
  if (length == 52) {
    std::uint32_t fixed[4];
    std::memcpy(fixed, value, sizeof fixed);
    c.Eq("signature", fixed[0], kFixedFileInfoSignature);
    c.Eq("file version, high", fixed[2], kVersionMs);
    c.Eq("file version, low", fixed[3], kVersionLs);
  }
  c.True("translation", c.P.VerQueryValueA(block, "\\VarFileInfo\\Translation", value, length));
  c.Eq("length of the translation", length, 4u);
  if (length == 4) {
    std::uint16_t translation[2];
    std::memcpy(translation, value, sizeof translation);
    c.Eq("language", translation[0], 0x0419u);
    c.Eq("code page", translation[1], 1251u);
  }
  c.True("text",
         c.P.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\ProductName", value, length));
  c.Eq("length of the text", length, sizeof kProductName);
  c.True("the text past the resource",
         static_cast<const char*>(value) >= block.data() + resource + 4 &&
             static_cast<const char*>(value) < block.data() + block.size());
  if (value != nullptr)
    c.Eq("the text", std::string(static_cast<const char*>(value)), std::string(kProductName));
  c.True("no such text",
         !c.P.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\Comments", value, length));
  c.True("no such table",
         !c.P.VerQueryValueA(block, "\\StringFileInfo\\040904B0\\ProductName", value, length));
  Write(c, c.Dir + "film.avi");
  c.Eq("a file without a resource", c.P.GetFileVersionInfoSizeA(c.Dir + "film.avi"), 0u);
  c.Eq("no such file", c.P.GetFileVersionInfoSizeA(c.Dir + "none.exe"), 0u);
  c.Eq("its error", LastError(c), kErrorFileNotFound);
}

// The program's string resources: LoadStringA's 1024-byte buffer holds 1023
// characters and the zero; an id without a string reads as empty, in a block
// of strings or outside any.
void StringResources(Context& c) {
  for (const StringResource& string : Strings()) {
    c.Eq("string " + std::to_string(string.Id), c.P.LoadStringA(string.Id),
         string.Text.substr(0, 1023));
  }
}

std::vector<StringResource> Strings() {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "\xD4\xE8\xEB\xFC\xEC 0123 ";  // "Фильм 0123 "
  return {{1, "\xCA\xEE\xED\xF2\xF0\xE0\xEA\xF2"},  // "Контракт"
          {2, text},
          {3, ""},
          {5, "last"},
          {4000, ""}};
}

}  // namespace reelstart::contract
