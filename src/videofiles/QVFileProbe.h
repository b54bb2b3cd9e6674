// What opening an entry of the walk tells: a film's size, a file's or
// folder's identity, whether anything is there at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace reelstart {

// Size of the file at `path`; 0 when it cannot be opened for reading
// (others may read it meanwhile, but not write it) or its size read.
std::int64_t GetFileSize64(const std::string& path);

// Identity of the file or folder at `path` (a folder's with '\' after it),
// or nothing when it cannot be opened or tells nothing.
std::optional<FileIdentity> EntryIdentity(const std::string& path);

// Whether anything answers to `path`.
bool Exists(const std::string& path);

}  // namespace reelstart
