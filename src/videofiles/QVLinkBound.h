// The bound on folder links: which folder the walk may enter through a link,
// or below one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace reelstart {

// Links can make a tree of any size out of a few folders: two links on each
// level to the next one list the last level 2^n times. So a link back to a
// folder being walked above it is not entered, every folder listed through
// links is recorded, and none is listed through links twice. Only links, and
// folders below one, cost the question "which folder is this": a tree
// without links is walked as it was.
//
// A volume that cannot tell folders apart (file index 0 for every one)
// answers the question for none: there a link is entered from a folder
// reached by its own path, never from below another link.
class TQVLinkBound {
 public:
  // The walk lists the folder `dir` (ending in '\'); Leave: it is done with
  // the folder it entered last.
  void Enter(std::string dir);
  void Leave();

  // Whether the folder at `path`, a link (`link`) or reached through one
  // (`throughLink`), is to be walked; when it is, it is recorded as listed
  // through links. `shortPath`: the same folder by its 8.3 name, which tells
  // its identity where `path` opens nothing; empty when there is none.
  bool Admit(const std::string& path, const std::string& shortPath, bool link, bool throughLink);

 private:
  // A folder whose identity is read only when it has to be compared with
  // another's, and then once.
  struct Folder {
    explicit Folder(std::string dir, std::string shortDir = {})
        : Dir(std::move(dir)), ShortDir(std::move(shortDir)) {}
    // Its identity, by Dir or else by ShortDir, opened the first time it is
    // asked for; nothing when neither tells.
    const std::optional<FileIdentity>& ReadIdentity();

    std::string Dir;       // ending in '\'
    std::string ShortDir;  // by its 8.3 name, when the listed one may open nothing
    bool Read = false;
    std::optional<FileIdentity> Identity;
  };
  struct IdentityHash {
    std::size_t operator()(const FileIdentity& identity) const;
  };

  // Reads the identities of the folders recorded before any was asked for.
  void ReadRecordedIdentities();
  // Whether a folder of `identity` was listed through links already, of
  // those whose identities were read: a look-up in a hashed set, so that a
  // walk costs time and memory in proportion to the folders it lists,
  // however many lie below links.
  [[nodiscard]] bool ListedThroughLinks(const FileIdentity& identity) const {
    return throughLinks_.count(identity) != 0;
  }
  // Records a folder as listed through links. Its identity, when not read
  // yet, is read once one is asked for: while a single link was entered,
  // none is. A folder that cannot tell its identity is no other.
  void Record(Folder folder);

  std::vector<Folder> ancestors_;  // the folders being walked, from the start down
  std::size_t linksEntered_ = 0;
  std::unordered_set<FileIdentity, IdentityHash> throughLinks_;
  std::vector<Folder> unread_;
};

}  // namespace reelstart
