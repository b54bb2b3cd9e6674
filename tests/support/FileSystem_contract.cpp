// The platform contract's cases for the stand-in's volumes and folder trees
// (FileSystem_mem.cpp), held to Windows under Wine.
#include "support/ContractCases.h"

#include <string>
#include <vector>

namespace reelstart::contract {

using namespace win;

// One entry, one identity, whichever path reached it; another volume, another serial.
void Identities(Context& c) {
  Write(c, c.Dir + "a.avi");
  Write(c, c.Dir + "b.avi");
  c.F.MakeFolder(c.Dir + "Sub");
  const auto a = Identity(c, c.Dir + "a.avi"), a2 = Identity(c, c.Dir + "A.AVI. ");
  const auto b = Identity(c, c.Dir + "b.avi");
  const auto sub = Identity(c, c.Dir + "Sub"), sub2 = Identity(c, c.Dir + "Sub\\");
  const auto disc = Identity(c, c.F.ReadOnlyFolder() + "film.avi");
  if (!a || !a2 || !b || !sub || !sub2 || !disc) return;
  c.True("a file by two paths", *a == *a2);
  c.True("a folder by two paths", *sub == *sub2);
  c.True("two files", a->FileIndex != b->FileIndex);
  c.Eq("two files on one volume", a->VolumeSerialNumber, b->VolumeSerialNumber);
  c.True("two volumes", a->VolumeSerialNumber != disc->VolumeSerialNumber);
}

// A long name has an 8.3 name that opens the same file; an 8.3 name has none.
void ShortNames(Context& c) {
  const std::string path = c.Dir + "A long film name.avi";
  Write(c, path);
  c.F.GiveShortName(path, "ALONGF~1.AVI");
  Write(c, c.Dir + "film.avi");
  std::vector<FindData> entries;
  Listing(c, c.Dir + "*.*", &entries);
  for (const FindData& entry : entries) {
    if (entry.FileName == "film.avi" || entry.FileName == "." || entry.FileName == "..") {
      c.Eq("8.3 name of " + entry.FileName, entry.AlternateFileName, std::string());
      continue;
    }
    c.Eq("long name", entry.FileName, std::string("A long film name.avi"));
    const std::string& shortName = entry.AlternateFileName;
    c.True("8.3 name " + shortName, !shortName.empty() && shortName.size() <= 12 &&
                                        shortName.find(' ') == std::string::npos);
    const auto byLong = Identity(c, path), byShort = Identity(c, c.Dir + shortName);
    c.True("the 8.3 name opens the file", byLong && byShort && *byLong == *byShort);
  }
}

// What the walk relies on: a folder reached through a link is the target, by
// identity and by contents, a link back up included; a folder named of dots
// alone is listed as it is, and its 8.3 name, where it has one, reaches it.
// (Its own name does not, under Wine, which reads "X\...\" as "X\..\";
// Windows keeps "..." as a name: only the listing and the 8.3 name are
// common.)
void FolderLinks(Context& c) {
  const std::string root = c.F.LinkedFolder();
  const auto top = Identity(c, root), target = Identity(c, root + "Target");
  const auto link = Identity(c, root + "Link"), linkSlash = Identity(c, root + "Link\\");
  const auto back = Identity(c, root + "Target\\Back");
  const auto film = Identity(c, root + "Target\\film.avi");
  const auto round = Identity(c, root + "Link\\Back\\Link\\film.avi");
  if (!top || !target || !link || !linkSlash || !back || !film || !round) return;
  c.True("a link is its target", *link == *target && *linkSlash == *target);
  c.True("a link up is the folder above", *back == *top);
  c.True("a file through two links is the file", *round == *film);
  c.Eq("contents through a link", Listing(c, root + "Link\\*"),
       Listing(c, root + "Target\\*"));
  std::vector<FindData> entries;
  c.Eq("the folder", Listing(c, root + "*", &entries), std::string(".|..|...|Link|Target"));
  for (const FindData& entry : entries) {
    c.Eq(entry.FileName + " is a folder", entry.FileAttributes & kFileAttributeDirectory,
         kFileAttributeDirectory);
    if (entry.FileName != "..." || entry.AlternateFileName.empty()) continue;
    const std::string dots = root + entry.AlternateFileName;
    c.Eq("the dots folder's film by its 8.3 name",
         AttributesError(c, dots + "\\film.avi"), kErrorSuccess);
    const auto inside = Identity(c, dots);
    c.True("the dots folder by its 8.3 name", inside && *inside != *top);
  }
}

// A volume that answers file index 0 for every entry: two folders answer
// one identity. (The stand-in's alone: no drive of Wine's answers so.)
void IndexlessVolume(Context& c) {
  const std::string folder = c.F.IndexlessFolder();
  const auto a = Identity(c, folder + "a"), b = Identity(c, folder + "b");
  if (!a || !b) return;
  c.Eq("file index", a->FileIndex, 0u);
  c.True("two folders, one identity", *a == *b);
}

}  // namespace reelstart::contract
