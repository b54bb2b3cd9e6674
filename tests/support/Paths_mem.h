// How the stand-in's file system (support/FileSystem_mem.h) reads a path
// before it looks anything up, as Windows reads one: what it believes of
// Windows, and the contract cases that hold it, are in Paths_mem.cpp.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/Win32Constants.h"

namespace reelstart::standin {

// The longest path the ANSI file calls take: MAX_PATH less the terminating zero.
inline constexpr std::size_t kLongestPath = win::kMaxPath - 1;

// How a folder's name of three dots or more reads on a path (before a
// '\'). Wine (8.0) takes one trailing dot off, so "....\" is "...\", and
// "...\" is a literal "..\", which opens nothing. Windows, as Microsoft
// documents it, keeps "..." a name of its own. GetFullPathNameA's "..\"
// for it, taken as the folder above, is a reading a walk must survive too.
enum class DotsReading { Wine, Windows, FolderAbove };

// The key a volume is known by: its drive ("d:"), in upper case ("D:").
// The one place a drive letter's case is folded.
std::string DriveKey(std::string_view drive);

// The names between the backslashes of `path`, empty ones left out.
std::vector<std::string> SplitPath(const std::string& path);

// The names of `path` as Windows reads a path before it looks anything up,
// the drive first: "." and ".." fold away; a name with more after it (a '\'
// at least) loses one trailing dot, the last name all its trailing dots and
// spaces, so "D:\a\.. " is "D:\a" while "D:\a\.. \" is the folder ".. "
// inside it. Nothing when the path names what no entry can bear: "D:\...\"
// reads as "D:\..\" with a literal ".." (as `dots` has it).
std::optional<std::vector<std::string>> ReadPath(const std::string& path, DotsReading dots);

// Whether `path` holds a character no name may bear past its drive ("*?<>\"|"):
// ERROR_INVALID_NAME.
bool HasWildcard(const std::string& path);

// Whether `name` matches a mask's `pattern`: '*' any run of characters, '?'
// one; letters in either case are the same. "*.*" is every name, those
// without a dot too.
bool MatchesMask(std::string_view pattern, std::string_view name);

// GetFullPathNameA's answer for `path`, relative to `currentDirectory`
// (ending in '\'): read as a lookup reads it, a trailing separator kept, a
// drive's root ending in one.
std::string FullPath(const std::string& path, const std::string& currentDirectory,
                     DotsReading dots);

}  // namespace reelstart::standin
