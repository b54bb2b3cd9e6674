// Path helpers. Every one of them splits a path by the same rule: the folder
// part ends at the last '\' or ':', the extension starts at the last '.' after
// it. On a double-byte code page the second byte of a double-byte character
// is never taken for one of those delimiters (the lead-byte test comes from
// the platform, so host tests run the same code under such a code page).
#pragma once

#include <string>
#include <string_view>

namespace reelstart {

// Index of the last byte of `text` that is one of `delimiters` and not the
// trail byte of a double-byte character; npos when there is none.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view text);

// Everything up to and including the last '\' or ':'; empty when there is none.
std::string ExtractFilePath(std::string_view path);
// The text after the last '\' or ':'.
std::string ExtractFileName(std::string_view path);
// From the last '.' after the last '\' or ':', dot included; empty otherwise.
std::string ExtractFileExt(std::string_view path);
// `path` with its extension (as ExtractFileExt finds it) replaced by `extension`.
std::string ChangeFileExt(std::string_view path, std::string_view extension);
// `path` without one trailing '\' (a trail byte of a double-byte character is
// no backslash).
std::string ExcludeTrailingBackslash(std::string_view path);

}  // namespace reelstart
