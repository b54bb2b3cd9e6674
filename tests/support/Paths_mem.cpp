// How the stand-in reads a path, as Windows does before it looks anything
// up. What it believes of Windows, and the platform contract's cases
// (support/PlatformContract.h) that hold it to Wine:
// - names compare case-blind, as the file system stores them: ListingsOfNames;
// - the last name of a path loses its trailing dots and spaces, a folder's
//   name with more after it one trailing dot ("Sub.\" is "Sub\", "Sub..\"
//   is not): TrailingDotsAndSpaces;
// - "." and ".." fold away, doubled backslashes count once, a trailing one
//   stays; a path longer than MAX_PATH comes back whole: FullPaths;
// - a path of more than MAX_PATH - 1 characters is refused with
//   ERROR_FILENAME_EXCED_RANGE, by every call that takes one: PathLimit;
// - a wildcard in a path to open is ERROR_INVALID_NAME; a missing folder on
//   the way ERROR_PATH_NOT_FOUND, a missing last name ERROR_FILE_NOT_FOUND:
//   MissingPathsAndInvalidNames;
// - in a mask, '*' is any run of characters, '?' one, and "*.*" every name:
//   ListingsWithWildcards, ListingsOfAll;
// - a folder named of dots alone reads as Wine reads it ("...\" is a
//   literal "..\"), or as DotsReading says: FolderLinks holds what Wine
//   and Windows share, the listing and the 8.3 name.
#include "support/Paths_mem.h"

#include "support/CaseFold.h"

namespace reelstart::standin {

std::string DriveKey(std::string_view drive) { return Folded(std::string(drive)); }

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

std::optional<std::vector<std::string>> ReadPath(const std::string& path, DotsReading dots) {
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
        if (dots == DotsReading::Wine) return std::nullopt;
        if (dots == DotsReading::Windows) {
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

bool HasWildcard(const std::string& path) {
  return path.find_first_of("*?<>\"|", 2) != std::string::npos;
}

namespace {

bool Matches(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    return Matches(pattern.substr(1), name) || (!name.empty() && Matches(pattern, name.substr(1)));
  }
  return !name.empty() && (pattern[0] == '?' || SameName(pattern.substr(0, 1), name.substr(0, 1))) &&
         Matches(pattern.substr(1), name.substr(1));
}

}  // namespace

bool MatchesMask(std::string_view pattern, std::string_view name) {
  return Matches(pattern == "*.*" ? "*" : pattern, name);
}

std::string FullPath(const std::string& path, const std::string& currentDirectory,
                     DotsReading dots) {
  std::string full;
  if (path.size() >= 2 && path[1] == ':') {
    full = path;
  } else if (!path.empty() && path[0] == '\\') {
    full = currentDirectory.substr(0, 2) + path;
  } else {
    full = currentDirectory + path;
  }
  const std::optional<std::vector<std::string>> names = ReadPath(full, dots);
  if (!names || names->empty()) return full;
  std::string result;
  for (const std::string& name : *names) result += (result.empty() ? "" : "\\") + name;
  if (names->size() == 1 || full.back() == '\\') result += '\\';
  return result;
}

}  // namespace reelstart::standin
