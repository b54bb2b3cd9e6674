// The platform contract's one table of cases, and the helpers its cases
// share. The cases themselves lie beside the models of the stand-in they hold
// (ContractCases.h says where).
#include "support/PlatformContract.h"

#include <algorithm>

#include "support/ContractCases.h"
#include "support/Win32Constants.h"

namespace reelstart::contract {

using namespace win;

long LastError(Context& c) { return static_cast<long>(c.P.GetLastError()); }

void Write(Context& c, const std::string& path, const std::string& text,
           std::uint32_t attributes) {
  const NativeHandle file = c.P.CreateFileA(path, kGenericWrite, 0, kCreateAlways, attributes);
  c.True("made " + path, file != kInvalidHandleValue);
  if (file == kInvalidHandleValue) return;
  std::uint32_t written = 0;
  const auto size = static_cast<std::uint32_t>(text.size());
  c.True("wrote " + path, c.P.WriteFile(file, text.data(), size, written) && written == size);
  c.P.CloseHandle(file);
}

long OpenError(Context& c, const std::string& path, std::uint32_t access, std::uint32_t share,
               std::uint32_t disposition, std::uint32_t flags) {
  const NativeHandle file = c.P.CreateFileA(path, access, share, disposition, flags);
  if (file == kInvalidHandleValue) return LastError(c);
  c.P.CloseHandle(file);
  return kErrorSuccess;
}

long AttributesError(Context& c, const std::string& path) {
  return c.P.GetFileAttributesA(path) == kInvalidFileAttributes ? LastError(c) : kErrorSuccess;
}

std::optional<FileIdentity> Identity(Context& c, const std::string& path) {
  const NativeHandle entry =
      c.P.CreateFileA(path, 0, kShareAll, kOpenExisting, kFileFlagBackupSemantics);
  c.True("opened " + path, entry != kInvalidHandleValue);
  if (entry == kInvalidHandleValue) return std::nullopt;
  FileIdentity identity;
  const bool known = c.P.GetFileInformationByHandle(entry, identity);
  c.P.CloseHandle(entry);
  c.True("identity of " + path, known);
  return known ? std::optional(identity) : std::nullopt;
}

std::string Listing(Context& c, const std::string& mask, std::vector<FindData>* entries) {
  FindData data;
  const NativeHandle find = c.P.FindFirstFileA(mask, data);
  if (find == kInvalidHandleValue) return "error " + std::to_string(LastError(c));
  std::vector<std::string> names;
  do {
    names.push_back(data.FileName);
    if (entries != nullptr) entries->push_back(data);
  } while (c.P.FindNextFileA(find, data));
  c.Eq("end of the listing of " + mask, LastError(c), kErrorNoMoreFiles);
  c.P.FindClose(find);
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "|") + name;
  return text;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"ShareModesBothWays", ShareModesBothWays},
      {"ReadOnlyFiles", ReadOnlyFiles},
      {"WritesNeedWriteAccess", WritesNeedWriteAccess},
      {"ReadOnlyVolume", ReadOnlyVolume},
      {"FolderHandles", FolderHandles},
      {"Identities", Identities},
      {"ListingsOfAll", ListingsOfAll},
      {"ListingsOfNames", ListingsOfNames},
      {"ListingsWithWildcards", ListingsWithWildcards},
      {"TrailingDotsAndSpaces", TrailingDotsAndSpaces},
      {"ShortNames", ShortNames},
      {"FileSizes", FileSizes},
      {"MissingPathsAndInvalidNames", MissingPathsAndInvalidNames},
      {"PathLimit", PathLimit},
      {"RegistryValues", RegistryValues},
      {"VersionBlocks", VersionBlocks},
      {"LocaleText", LocaleText},
      {"LocaleTextUnderEnglishFormats", LocaleTextUnderEnglishFormats, false, true},
      {"LocaleDates", LocaleDates},
      {"ProcessFacts", ProcessFacts},
      {"Environment", Environment},
      {"SpellingsOutsideTheCodePage", SpellingsOutsideTheCodePage},
      {"Apartments", Apartments},
      {"FullPaths", FullPaths},
      {"ErrorTexts", ErrorTexts},
      {"StringResources", StringResources},
      {"ShellAnswers", ShellAnswers},
      {"FolderLinks", FolderLinks},
      {"IndexlessVolume", IndexlessVolume, true},
      {"FailedCalls", FailedCalls},
  };
  return cases;
}

}  // namespace reelstart::contract
