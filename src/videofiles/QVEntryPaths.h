// Which path reaches each entry of a folder's listing: the listed name, or
// the 8.3 name where the listed one reaches a neighbour or nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"
#include "platform/Platform.h"

namespace reelstart {

// The paths that reach one entry.
struct TEntryPath {
  // Tried first: by the listed name, or by the 8.3 name where the listed one
  // reaches another entry.
  std::string Path;
  // By the 8.3 name, for where Path, by the listed name, opens nothing;
  // empty when the entry has no 8.3 name or Path is by it.
  std::string ShortPath;
};

// The entries of one listing, "." and ".." included, in the order the file
// system gives them. Reading the listing whole before going down keeps one
// find handle open per folder level at most for as short as can be, and lets
// a name be compared with its neighbours.
class TQVListing {
 public:
  // The listing of `mask` (a folder followed by "*.*"); nothing when the
  // folder cannot be listed. A listing that fails midway keeps what it read.
  static std::optional<TQVListing> Read(const std::string& mask, const TLeadBytes& leadBytes);

  [[nodiscard]] const std::string& Dir() const { return dir_; }  // ending in '\'
  [[nodiscard]] const std::vector<FindData>& Entries() const { return entries_; }

  // The paths that reach Entries()[i]; nothing when none does: a name of
  // dots alone that is no folder, or a folder of such a name whose listed
  // name reaches another and that has no 8.3 name. Every other path stays
  // exactly as listed, and costs no system call more.
  [[nodiscard]] std::optional<TEntryPath> PathOf(std::size_t i) const;

 private:
  TQVListing(std::string dir, std::vector<FindData> entries);

  std::string dir_;
  std::vector<FindData> entries_;
  // For each entry: whether its name reads, to a path, as a neighbour's does.
  std::vector<bool> ambiguous_;
};

}  // namespace reelstart
