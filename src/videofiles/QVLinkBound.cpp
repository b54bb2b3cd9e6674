#include "videofiles/QVLinkBound.h"

#include <algorithm>
#include <utility>

#include "videofiles/QVFileProbe.h"

namespace reelstart {

const std::optional<FileIdentity>& TQVLinkBound::Folder::ReadIdentity() {
  if (!Read) {
    Identity = EntryIdentity(Dir);
    if (!Identity && !ShortDir.empty()) Identity = EntryIdentity(ShortDir);
    Read = true;
  }
  return Identity;
}

std::size_t TQVLinkBound::IdentityHash::operator()(const FileIdentity& identity) const {
  const std::uint64_t mixed =
      (identity.FileIndex ^ (std::uint64_t{identity.VolumeSerialNumber} << 32)) *
      0x9E3779B97F4A7C15u;
  return static_cast<std::size_t>(mixed >> 32) ^ static_cast<std::size_t>(mixed);
}

void TQVLinkBound::Enter(std::string dir) { ancestors_.emplace_back(std::move(dir)); }

void TQVLinkBound::Leave() { ancestors_.pop_back(); }

bool TQVLinkBound::Admit(const std::string& path, const std::string& shortPath, bool link,
                         bool throughLink) {
  Folder folder(path + "\\", shortPath.empty() ? "" : shortPath + "\\");
  if (link) {
    const std::optional<FileIdentity> identity = folder.ReadIdentity();
    if (!identity) {
      // A volume that cannot tell folders apart.
      if (throughLink) return false;
    } else {
      // Back to a folder being walked above (again and again, down to the
      // path limit), or to one listed through another link already.
      if (std::any_of(ancestors_.begin(), ancestors_.end(),
                      [&](Folder& ancestor) { return ancestor.ReadIdentity() == identity; })) {
        return false;
      }
      ReadRecordedIdentities();
      if (ListedThroughLinks(*identity)) return false;
    }
    ++linksEntered_;
  } else if (linksEntered_ > 1) {
    // Reached through a link, it may be a folder another link listed
    // already. While one link alone was entered it cannot be: nothing else
    // was listed through links.
    const std::optional<FileIdentity> identity = folder.ReadIdentity();
    if (identity) {
      ReadRecordedIdentities();
      if (ListedThroughLinks(*identity)) return false;
    }
  }
  Record(std::move(folder));
  return true;
}

void TQVLinkBound::ReadRecordedIdentities() {
  for (Folder& folder : unread_) {
    if (const std::optional<FileIdentity>& read = folder.ReadIdentity()) throughLinks_.insert(*read);
  }
  unread_.clear();
}

void TQVLinkBound::Record(Folder folder) {
  if (!folder.Read) {
    unread_.push_back(std::move(folder));
  } else if (folder.Identity) {
    throughLinks_.insert(*folder.Identity);
  }
}

}  // namespace reelstart
