// The platform contract's cases for the stand-in's process and what it is
// told (Process_mem.cpp), held to Windows under Wine.
#include "support/ContractCases.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/CommandLine.h"
#include "common/Paths.h"

namespace reelstart::contract {

using namespace win;

// What the process is told about itself: the program's path, whole and in
// 8.3 form, its command line, the address of its image.
void ProcessFacts(Context& c) {
  const TLeadBytes none{};
  const std::string module = c.P.GetModuleFileNameA();
  c.True("module path " + module, module.size() > 3 && module.substr(1, 2) == ":\\");
  c.Eq("module name", ExtractFileName(module, none), std::string(kProgramName));
  c.Eq("module folder", ExtractFileName(ExcludeTrailingBackslash(ExtractFilePath(module, none),
                                                                 none), none),
       std::string(kProgramFolder));
  c.Eq("module a file", c.P.GetFileAttributesA(module) & kFileAttributeDirectory, 0u);
  c.Eq("module path in full", c.P.GetFullPathNameA(module), module);
  const std::string shortPath = c.P.GetShortModuleFileNameA();
  c.True("8.3 path " + shortPath, !shortPath.empty() && shortPath.find(' ') == std::string::npos);
  for (std::size_t start = 3, end = 0; start < shortPath.size(); start = end + 1) {
    end = std::min(shortPath.find('\\', start), shortPath.size());
    const std::string name = shortPath.substr(start, end - start);
    const std::size_t dot = name.find('.');
    c.True("8.3 name " + name, dot == std::string::npos ? name.size() <= 8
                                                         : dot <= 8 && name.size() - dot <= 4);
  }
  const auto byLong = Identity(c, module), byShort = Identity(c, shortPath);
  c.True("the 8.3 path opens the program", byLong && byShort && *byLong == *byShort);
  // The program's name comes first, whole, however many spaces it holds.
  const std::vector<std::string> arguments = SplitCommandLine(c.P.GetCommandLineA());
  c.True("arguments", arguments.size() >= 2);
  if (!arguments.empty()) {
    c.Eq("program as started", ExtractFileName(arguments[0], none), std::string(kProgramName));
  }
  // Images load at 64 KiB boundaries.
  const std::uintptr_t base = c.P.GetModuleBase();
  c.True("image base " + std::to_string(base), base != 0 && base % 0x10000 == 0);
}

// Environment variables: names case-blind; unset and empty read alike;
// values longer than any first guess at a buffer, whole. The temporary
// folder follows TMP.
void Environment(Context& c) {
  const char* name = "REELSTART_CONTRACT";
  const struct {
    const char* row;
    std::optional<std::string> value;  // nothing: unset
  } rows[] = {
      {"Cyrillic", "\xD4\xE8\xEB\xFC\xEC"},  // Фильм
      {"empty", ""},
      {"unset", std::nullopt},
      {"259 characters", std::string(259, 'x')},
      {"260 characters", std::string(260, 'y')},
      {"1000 characters", std::string(1000, 'z')},
  };
  for (const auto& row : rows) {
    c.F.SetVariable(name, row.value ? row.value->c_str() : nullptr);
    c.Eq(row.row, c.P.GetEnvironmentVariableA("reelstart_Contract"), row.value.value_or(""));
  }
  c.F.SetVariable(name, nullptr);
  const std::string tmp = c.P.GetEnvironmentVariableA("TMP");
  c.F.SetVariable("TMP", (c.Dir + "Temp").c_str());
  c.Eq("temporary folder", c.P.GetTempPathA(), c.Dir + "Temp\\");
  c.F.SetVariable("TMP", tmp.empty() ? nullptr : tmp.c_str());
}

// A variable naming a folder the ANSI code page cannot spell (a profile named
// "Café Łódź" on a Russian system, and TMP in it) is respelled by 8.3 names
// that reach that folder; one the code page spells is not respelled.
void SpellingsOutsideTheCodePage(Context& c) {
  const std::string tmp = c.P.GetEnvironmentVariableA("TMP");
  const std::string lookAlike = c.F.FolderOutsideCodePage("TMP");
  const std::string respelled = c.P.GetShortEnvironmentVariableA("TMP");
  const std::string tempPath = c.P.GetShortTempPathA();
  c.Eq("the ANSI spelling", c.P.GetEnvironmentVariableA("TMP"), lookAlike);
  c.Eq("it reaches nothing", c.P.GetFileAttributesA(lookAlike), kInvalidFileAttributes);
  for (const std::string& path : {respelled, tempPath}) {
    c.True("8.3 spelling " + path, !path.empty() && path.find('?') == std::string::npos);
    c.Eq(path + " is a folder", c.P.GetFileAttributesA(path) & (kFileAttributeDirectory | 0x80000000u), kFileAttributeDirectory);
  }
  c.Eq("the temporary folder's spelling", tempPath, respelled + "\\");
  c.F.SetVariable("TMP", c.Dir.c_str());
  c.Eq("no respelling needed", c.P.GetShortEnvironmentVariableA("TMP"), std::string());
  c.Eq("none for the temporary folder", c.P.GetShortTempPathA(), std::string());
  c.F.SetVariable("TMP", tmp.empty() ? nullptr : tmp.c_str());
  c.Eq("none for an unset variable", c.P.GetShortEnvironmentVariableA("REELSTART_UNSET"), std::string());
}

// The system's texts for the errors a file's creation can meet, and for
// success: one line ending in ".\r\n" (in the user's language: Russian here,
// under Wine as on a Russian Windows); none for a code the system lacks.
void ErrorTexts(Context& c) {
  for (const long code : {kErrorSuccess, kErrorFileNotFound, kErrorPathNotFound,
                          kErrorAccessDenied, kErrorNotReady, kErrorSharingViolation,
                          kErrorInvalidName, kErrorFilenameExcedRange}) {
    const std::string text = c.P.FormatMessageA(static_cast<std::uint32_t>(code));
    c.True("text of " + std::to_string(code) + ": " + text,
           text.size() > 3 && text.find_first_of("\r\n") == text.size() - 2 &&
               text.compare(text.size() - 3, 3, ".\r\n") == 0);
  }
  c.Eq("text of no error", c.P.FormatMessageA(0x20000001), std::string());
}

}  // namespace reelstart::contract
