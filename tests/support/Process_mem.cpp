// The stand-in's process and what it is told. What it believes of Windows,
// and the platform contract's cases (support/PlatformContract.h) that hold it
// to Wine:
// - the module's path is whole and opens the program, its 8.3 form too; the
//   command line starts with the program as started; images load at 64 KiB
//   boundaries: ProcessFacts;
// - environment variables' names compare case-blind; unset and empty read
//   alike; a value of any length comes whole; the temporary folder is TMP's,
//   with a trailing backslash: Environment;
// - a variable naming a folder the ANSI code page cannot spell reads as a
//   look-alike that reaches nothing, and is respelled by 8.3 names that reach
//   the folder, as is the temporary folder it names; one the code page
//   spells is not respelled: SpellingsOutsideTheCodePage;
// - the system's text for an error the program may meet is one line ending
//   in ".\r\n"; a code the system lacks has none: ErrorTexts.
// Believed without a case: TEMP where TMP is unset or empty, else the
// system's folder, whether or not it is there; the texts themselves (in
// English here, in the user's language on Windows).
#include "support/Process_mem.h"

#include "support/CaseFold.h"
#include "support/Win32Constants.h"

namespace reelstart {

std::string MemoryProcess::FormatMessageA(std::uint32_t messageId) {
  static const std::map<long, const char*> texts = {
      {win::kErrorSuccess, "The operation completed successfully."},
      {win::kErrorFileNotFound, "The system cannot find the file specified."},
      {win::kErrorPathNotFound, "The system cannot find the path specified."},
      {win::kErrorAccessDenied, "Access is denied."},
      {win::kErrorInvalidHandle, "The handle is invalid."},
      {win::kErrorNotReady, "The device is not ready."},
      {win::kErrorSharingViolation,
       "The process cannot access the file because it is being used by another process."},
      {win::kErrorInvalidName,
       "The filename, directory name, or volume label syntax is incorrect."},
      {win::kErrorAlreadyExists, "Cannot create a file when that file already exists."},
      {win::kErrorFilenameExcedRange, "The filename or extension is too long."},
  };
  const auto found = texts.find(static_cast<long>(messageId));
  if (found == texts.end()) {
    lastError_.Set(win::kErrorMrMidNotFound);
    return {};
  }
  lastError_.Succeeded();
  return std::string(found->second) + "\r\n";
}

// As Windows does: TMP, else TEMP, else the system's folder, with a trailing
// backslash; whether the folder is there is not checked.
std::string MemoryProcess::GetTempPathA() {
  const std::string* variable = Variable("TMP");
  if (variable == nullptr || variable->empty()) variable = Variable("TEMP");
  if (variable == nullptr || variable->empty()) {
    lastError_.Succeeded();
    return TempPath;
  }
  std::string path = files_.GetFullPathNameA(*variable);
  if (path.back() != '\\') path += '\\';
  return path;
}

// The folder GetTempPathA answers, as GetShortEnvironmentVariableA respells
// the variable it comes from.
std::string MemoryProcess::GetShortTempPathA() {
  for (const char* name : {"TMP", "TEMP"}) {
    const std::string* variable = Variable(name);
    if (variable == nullptr || variable->empty()) continue;
    std::string path = GetShortEnvironmentVariableA(name);
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
  }
  return ShortTempPath;
}

std::string MemoryProcess::GetEnvironmentVariableA(const std::string& name) {
  EnvironmentReads.push_back(name);
  const std::string* value = Variable(name);
  if (value == nullptr) {
    lastError_.Set(win::kErrorEnvvarNotFound);
    return {};
  }
  lastError_.Succeeded();
  return *value;
}

const std::string* MemoryProcess::Variable(const std::string& name) const {
  for (const auto& [key, value] : Environment) {
    if (SameName(key, name)) return &value;
  }
  return nullptr;
}

std::string MemoryProcess::GetShortEnvironmentVariableA(const std::string& name) {
  for (const auto& [key, value] : ShortEnvironment) {
    if (SameName(key, name) && Variable(name) != nullptr) return value;
  }
  return {};
}

}  // namespace reelstart
