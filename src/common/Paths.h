// Path helpers. Every one of them splits a path by the same rule: the folder
// part ends at the last '\' or ':', the extension starts at the last '.' after
// it. On a double-byte code page the second byte of a double-byte character
// is never taken for one of those delimiters: each helper is given the code
// page's lead bytes as a value, read once a run (GetAnsiLeadBytes), so the
// helpers ask nothing of the platform.
#pragma once

#include <string>
#include <string_view>

#include "common/Text.h"

namespace reelstart {

// Index of the last byte of `text` that is one of `delimiters` and not the
// trail byte of a double-byte character; npos when there is none.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view text,
                          const TLeadBytes& leadBytes);

// Everything up to and including the last '\' or ':'; empty when there is none.
std::string ExtractFilePath(std::string_view path, const TLeadBytes& leadBytes);
// The text after the last '\' or ':'.
std::string ExtractFileName(std::string_view path, const TLeadBytes& leadBytes);
// From the last '.' after the last '\' or ':', dot included; empty otherwise.
std::string ExtractFileExt(std::string_view path, const TLeadBytes& leadBytes);
// `path` with its extension (as ExtractFileExt finds it) replaced by `extension`.
std::string ChangeFileExt(std::string_view path, std::string_view extension,
                          const TLeadBytes& leadBytes);
// `path` without one trailing '\' (a trail byte of a double-byte character is
// no backslash).
std::string ExcludeTrailingBackslash(std::string_view path, const TLeadBytes& leadBytes);

}  // namespace reelstart
