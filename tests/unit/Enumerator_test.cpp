#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "common/Text.h"
#include "support/FailingPlatform.h"
#include "support/Platform_mem.h"
#include "videofiles/QVOrdering.h"
#include "videofiles/QVVideoFilesEnumerator.h"

namespace reelstart {
namespace {

constexpr std::uint32_t kHidden = 0x02;
constexpr std::uint32_t kSystem = 0x04;

std::vector<std::string> Paths(const TQVVideoFilesEnumerator& enumerator) {
  std::vector<std::string> paths;
  for (const TVideoFile& file : enumerator.Files()) paths.push_back(file.Path);
  return paths;
}

std::vector<std::string> Walk(const std::string& mask = "D:\\*.*") {
  TQVVideoFilesEnumerator enumerator;
  enumerator.FindFiles(mask);
  return Paths(enumerator);
}

TEST(IsVideoFileTest, MatchesTheTwelveExtensionsOnly) {
  MemoryPlatform platform;
  const char* videos[] = {"a.avi",  "a.divx", "a.dvr-ms", "a.m1v",  "a.mp2",  "a.mpeg",
                          "a.mpa",  "a.mpe",  "a.mpg",    "a.mpv2", "a.mp2v", "a.wmv",
                          "FILM.AVI", "Film.Avi", ".avi", "a.b.WMV", "\xD4\xE8\xEB\xFC\xEC.avi"};
  for (const char* name : videos) {
    EXPECT_TRUE(TQVVideoFilesEnumerator::IsVideoFile({0x20, name, ""}, {})) << name;
  }
  const char* others[] = {"film.avi.tmp", "film", "film.mkv", "film.mp4", "film.mov",
                          "film.vob", "film.asx", "film.avi ", "film.av", "film.avix",
                          "film.", "avi", "film.mp2v\\x"};
  for (const char* name : others) {
    EXPECT_FALSE(TQVVideoFilesEnumerator::IsVideoFile({0x20, name, ""}, {})) << name;
  }
}

TEST(IsSubDirectoryTest, SkipsDotEntries) {
  EXPECT_TRUE(TQVVideoFilesEnumerator::IsSubDirectory({0x10, "clips.avi", ""}));
  EXPECT_TRUE(TQVVideoFilesEnumerator::IsSubDirectory({0x16, ".hidden", ""}));
  EXPECT_FALSE(TQVVideoFilesEnumerator::IsSubDirectory({0x10, ".", ""}));
  EXPECT_FALSE(TQVVideoFilesEnumerator::IsSubDirectory({0x10, "..", ""}));
  EXPECT_FALSE(TQVVideoFilesEnumerator::IsSubDirectory({0x20, "film.avi", ""}));
}

TEST(FindFilesTest, WalksDepthFirstInListingOrder) {
  MemoryPlatform platform;
  platform.AddFile("D:\\start.exe", 100);
  platform.AddFile("D:\\b.avi", 1);
  platform.AddFile("D:\\Sub\\c.wmv", 2);
  platform.AddFile("D:\\Sub\\Deeper\\d.mpg", 3);
  platform.AddFile("D:\\Sub\\e.mpeg", 4);
  platform.AddFile("D:\\a.avi", 5);
  platform.AddFile("D:\\clips.avi\\inner.avi", 6);  // a folder named like a video
  platform.AddFile("D:\\readme.txt", 7);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"D:\\b.avi", "D:\\Sub\\c.wmv",
                                               "D:\\Sub\\Deeper\\d.mpg", "D:\\Sub\\e.mpeg",
                                               "D:\\a.avi", "D:\\clips.avi\\inner.avi"}));
}

TEST(FindFilesTest, BuildsPathsFromTheMaskAsGiven) {
  MemoryPlatform platform;
  platform.AddFile("C:\\Films\\Sub\\a.avi", 1);
  platform.AddFile("C:\\Films\\b.avi", 1);
  // Case and form of the mask are kept, nothing is normalised.
  EXPECT_EQ(Walk("c:\\FILMS\\*.*"),
            (std::vector<std::string>{"c:\\FILMS\\Sub\\a.avi", "c:\\FILMS\\b.avi"}));
}

TEST(FindFilesTest, IncludesHiddenAndSystemEntries) {
  MemoryPlatform platform;
  platform.AddFolder("D:\\.hidden", 0x10 | kHidden);
  platform.AddFile("D:\\.hidden\\a.avi", 1, kHidden | kSystem);
  platform.AddFile("D:\\b.avi", 1, 0x01);
  // A drive's recycle bin, hidden and system both, holds deleted films and
  // their records ($I...avi): not walked. Folders of such names without both
  // attributes are the user's own.
  const std::pair<const char*, std::uint32_t> bins[] = {
      {"$RECYCLE.BIN", kHidden | kSystem}, {"Recycler", kHidden | kSystem},
      {"Sub\\recycled", kHidden | kSystem}, {"Mine\\$Recycle.Bin", kHidden},
      {"Mine\\RECYCLER", kSystem},          {"RECYCLED.old", kHidden | kSystem}};
  for (const auto& [bin, attributes] : bins) {
    platform.AddFolder(std::string("D:\\") + bin, 0x10 | attributes);
    platform.AddFile(std::string("D:\\") + bin + "\\S-1-5-21\\$RAB12CD.avi", 1);
  }
  EXPECT_EQ(Walk(), (std::vector<std::string>{"D:\\.hidden\\a.avi", "D:\\b.avi",
                                               "D:\\Mine\\$Recycle.Bin\\S-1-5-21\\$RAB12CD.avi",
                                               "D:\\Mine\\RECYCLER\\S-1-5-21\\$RAB12CD.avi",
                                               "D:\\RECYCLED.old\\S-1-5-21\\$RAB12CD.avi"}));
}

TEST(FindFilesTest, UnreadableOrMissingFoldersAddNothing) {
  MemoryPlatform platform;
  platform.AddFile("D:\\Locked\\a.avi", 1);
  platform.AddFile("D:\\Open\\b.avi", 1);
  platform.DenyListing("D:\\Locked");
  EXPECT_EQ(Walk(), std::vector<std::string>{"D:\\Open\\b.avi"});
  EXPECT_TRUE(Walk("D:\\Missing\\*.*").empty());
  EXPECT_TRUE(Walk("E:\\*.*").empty());
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(FindFilesTest, ReadsSixtyFourBitSizes) {
  MemoryPlatform platform;
  FailingPlatform faults(platform);
  enum Arrange { kNothing, kReadOnly, kRecorded, kPlayed, kSizeUnreadable };
  const struct {
    const char* name;
    std::int64_t size;
    Arrange arrange;
    std::int64_t expected;
  } rows[] = {
      {"big.avi", 5'000'000'000LL, kNothing, 5'000'000'000LL},
      // Copied from a disc: opens for reading only.
      {"copied.avi", 600, kReadOnly, 600},
      // Held open by a recorder writing it (and sharing it for reading):
      // listed, size 0. Its refusal leaves an error behind for the next row.
      {"recording.avi", 700, kRecorded, 0},
      // A low part of INVALID_FILE_SIZE is a size when the last error says so.
      {"edge.avi", 0xFFFFFFFFLL, kNothing, 0xFFFFFFFFLL},
      // Held open by a player reading it, sharing it for reading only.
      {"playing.avi", 800, kPlayed, 800},
      // GetFileSize fails (the disc went): size 0, not 4 GiB - 1.
      {"ejected.avi", 900, kSizeUnreadable, 0},
      {"empty.avi", 0, kNothing, 0},
  };
  unsigned sizeReads = 0;
  for (const auto& row : rows) {
    const std::string path = std::string("D:\\") + row.name;
    platform.AddFile(path, row.size, row.arrange == kReadOnly ? 0x01 : 0x20);
    if (row.arrange == kRecorded) platform.HoldOpen(path, win::kGenericWrite, win::kFileShareRead);
    if (row.arrange == kPlayed) platform.HoldOpen(path, win::kGenericRead, win::kFileShareRead);
    if (row.arrange == kSizeUnreadable) {
      faults.FailCall(FailingPlatform::Call::GetFileSize, sizeReads + 1, win::kErrorNotReady);
    }
    if (row.arrange != kRecorded) ++sizeReads;
  }
  TQVVideoFilesEnumerator enumerator;
  enumerator.FindFiles("D:\\*.*");
  ASSERT_EQ(enumerator.Count(), static_cast<int>(std::size(rows)));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(enumerator.Files()[i].Size, rows[i].expected) << rows[i].name;
  }
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(FindFilesTest, AListingThatFailsMidwayKeepsWhatItRead) {
  MemoryPlatform platform;
  FailingPlatform faults(platform);
  platform.AddFile("D:\\a.avi", 1);
  platform.AddFile("D:\\b.avi", 2);
  platform.AddFile("D:\\c.avi", 3);
  // FindFirstFileA brings a.avi, the first FindNextFileA b.avi; then the
  // share the disc was reached by goes away.
  faults.FailCall(FailingPlatform::Call::FindNextFileA, 2, win::kErrorNetNameDeleted);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"D:\\a.avi", "D:\\b.avi"}));
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(FindFilesTest, DoesNotFollowALinkBackToAnAncestor) {
  MemoryPlatform platform;
  platform.AddFile("D:\\a.avi", 1);
  platform.AddFile("D:\\Sub\\b.avi", 2);
  platform.AddFolderLink("D:\\Sub\\loop", "D:\\");
  platform.AddFolderLink("D:\\Sub\\self", "D:\\Sub");
  EXPECT_EQ(Walk(), (std::vector<std::string>{"D:\\a.avi", "D:\\Sub\\b.avi"}));
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(FindFilesTest, EntersAFolderOfDotsOnlyByTheNameThatReachesIt) {
  using Dots = MemoryPlatform::DotsReading;
  // "....\" reads as "...\" on every platform: "...." is never listed by
  // that name, which would list "..." again. Each is walked by the name that
  // reaches it, found by asking, not by one platform's rule.
  const struct {
    Dots reading;
    const char* threeDots;  // the 8.3 name of "..."
    const char* fourDots;   // of a folder "...." beside it; null: no such folder
    std::vector<std::string> expected;
  } rows[] = {
      // "...\" opens nothing.
      {Dots::Wine, "2E2E~1", "", {"D:\\Films\\2E2E~1\\three.avi", "D:\\Films\\c.avi"}},
      {Dots::Wine, "", "2E2E~2", {"D:\\Films\\2E2E~2\\four.avi", "D:\\Films\\c.avi"}},
      // "...\" is "..." itself, with or without an 8.3 name.
      {Dots::Windows, "2E2E~1", "", {"D:\\Films\\...\\three.avi", "D:\\Films\\c.avi"}},
      {Dots::Windows, "", "", {"D:\\Films\\...\\three.avi", "D:\\Films\\c.avi"}},
      // "...\" is D:\, outside the walk: no way to "..." itself.
      {Dots::FolderAbove, "", nullptr, {"D:\\Films\\c.avi"}},
  };
  for (const auto& row : rows) {
    MemoryPlatform platform;
    platform.DotsNames = row.reading;
    platform.AddFile("D:\\outside.avi", 1);
    platform.AddFile("D:\\Films\\...\\three.avi", 3);
    if (*row.threeDots != '\0') platform.SetShortName("D:\\Films\\...", row.threeDots);
    if (row.fourDots != nullptr) {
      platform.AddFile("D:\\Films\\....\\four.avi", 4);
      if (*row.fourDots != '\0') platform.SetShortName("D:\\Films\\....", row.fourDots);
    }
    platform.AddFile("D:\\Films\\c.avi", 5);
    EXPECT_EQ(Walk("D:\\Films\\*.*"), row.expected)
        << static_cast<int>(row.reading) << " " << row.threeDots;
    EXPECT_EQ(std::count(platform.Listings.begin(), platform.Listings.end(), "D:\\Films\\....\\*.*"), 0);
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
  }
}

TEST(FindFilesTest, WalksAVolumeThatCannotTellFoldersApart) {
  MemoryPlatform platform;
  // Every folder answers file index 0: a link looks like every folder above
  // it, and must not be taken for one.
  platform.NoFileIndex = true;
  platform.AddFile("D:\\a.avi", 1);
  platform.AddFile("D:\\Sub\\Deeper\\b.avi", 2);
  platform.AddFolderLink("D:\\Link", "D:\\Sub\\Deeper");
  EXPECT_EQ(Walk(), (std::vector<std::string>{"D:\\a.avi", "D:\\Sub\\Deeper\\b.avi",
                                               "D:\\Link\\b.avi"}));
}

TEST(FindFilesTest, ListsAFolderOnceByItsPathAndOnceThroughLinks) {
  // The walk starts at D:\Disc; D:\Out lies outside it, reached through links only.
  const struct {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links;  // in listing order
    std::vector<std::string> expected;
    bool noFileIndex = false;
    const char* firstLinkShortName = nullptr;  // the 8.3 name of the first link
  } rows[] = {
      {"two links to one folder",
       {{"D:\\Disc\\Link1", "D:\\Disc\\Films"}, {"D:\\Disc\\Link2", "D:\\Disc\\Films"}},
       {"D:\\Disc\\Films\\a.avi", "D:\\Disc\\Films\\Drama\\b.avi", "D:\\Disc\\Link1\\a.avi",
        "D:\\Disc\\Link1\\Drama\\b.avi"}},
      // A link to a folder that one listed through an earlier link holds ...
      {"a link into a folder listed through a link",
       {{"D:\\Disc\\Link1", "D:\\Disc\\Films"}, {"D:\\Disc\\Drama", "D:\\Disc\\Films\\Drama"}},
       {"D:\\Disc\\Films\\a.avi", "D:\\Disc\\Films\\Drama\\b.avi", "D:\\Disc\\Link1\\a.avi",
        "D:\\Disc\\Link1\\Drama\\b.avi"}},
      // ... and one to a folder that holds one listed through an earlier link.
      {"a link around a folder listed through a link",
       {{"D:\\Disc\\Drama", "D:\\Disc\\Films\\Drama"}, {"D:\\Disc\\Link1", "D:\\Disc\\Films"}},
       {"D:\\Disc\\Films\\a.avi", "D:\\Disc\\Films\\Drama\\b.avi", "D:\\Disc\\Drama\\b.avi",
        "D:\\Disc\\Link1\\a.avi"}},
      // Two links on each level to the next: 2^n listings of the last level
      // but for the bound; each film of D:\Out once.
      {"two links on each level",
       {{"D:\\Disc\\Films\\a", "D:\\Out\\L1"}, {"D:\\Disc\\Films\\b", "D:\\Out\\L1"},
        {"D:\\Out\\L1\\a", "D:\\Out\\L2"}, {"D:\\Out\\L1\\b", "D:\\Out\\L2"}},
       {"D:\\Disc\\Films\\a.avi", "D:\\Disc\\Films\\Drama\\b.avi", "D:\\Disc\\Films\\a\\c.avi",
        "D:\\Disc\\Films\\a\\a\\d.avi"}},
      // Two volumes number their entries alike (every NTFS root is record 5):
      // one file index, two folders.
      {"links to the roots of two volumes",
       {{"E:\\L1", "D:\\Out\\L1"}, {"F:\\L2", "D:\\Out\\L2"}, {"E:\\F", "F:\\"},
        {"D:\\Disc\\E", "E:\\"}},
       {"D:\\Disc\\Films\\a.avi", "D:\\Disc\\Films\\Drama\\b.avi", "D:\\Disc\\E\\L1\\c.avi",
        "D:\\Disc\\E\\F\\L2\\d.avi"}},
      // A volume that cannot tell folders apart: a link is entered from a
      // folder reached by its own path, and none below it (here the same
      // link, again and again, down to the path limit).
      {"a link back, on a volume without identities",
       {{"D:\\Disc\\Films\\Back", "D:\\Disc"}},
       {"D:\\Disc\\Films\\a.avi", "D:\\Disc\\Films\\Drama\\b.avi", "D:\\Disc\\Films\\Back\\Films\\a.avi",
        "D:\\Disc\\Films\\Back\\Films\\Drama\\b.avi"},
       true},
      // A link whose listed name opens nothing ('?' for what the code page
      // lacks): known for a link back by the identity its 8.3 name reaches.
      {"a link back whose listed name opens nothing",
       {{"D:\\Disc\\Films\\B?ck", "D:\\Disc"}},
       {"D:\\Disc\\Films\\a.avi", "D:\\Disc\\Films\\Drama\\b.avi"},
       false,
       "BACK~1"},
  };
  for (const auto& row : rows) {
    MemoryPlatform platform;
    platform.NoFileIndex = row.noFileIndex;
    platform.AddFile("D:\\Disc\\Films\\a.avi", 1);
    platform.AddFile("D:\\Disc\\Films\\Drama\\b.avi", 2);
    platform.AddFile("D:\\Out\\L1\\c.avi", 3);
    platform.AddFile("D:\\Out\\L2\\d.avi", 4);
    for (const auto& [link, target] : row.links) platform.AddFolderLink(link, target);
    if (row.firstLinkShortName != nullptr) {
      platform.SetShortName(row.links[0].first, row.firstLinkShortName);
    }
    EXPECT_EQ(Walk("D:\\Disc\\*.*"), row.expected) << row.name;
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
  }
}

TEST(FindFilesTest, UsesTheShortNameOfAnUnrepresentableName) {
  MemoryPlatform platform;
  // As FindFirstFileA shows names the ANSI code page cannot hold.
  platform.AddFile("D:\\??????\\???.avi", 300);
  platform.SetShortName("D:\\??????", "F4B2~1");
  platform.SetShortName("D:\\??????\\???.avi", "8A3F~1.AVI");
  platform.AddFile("D:\\??.wmv", 200);  // no short name on this volume
  TQVVideoFilesEnumerator enumerator;
  enumerator.FindFiles("D:\\*.*");
  ASSERT_EQ(enumerator.Count(), 2);
  EXPECT_EQ(enumerator.Files()[0].Path, "D:\\F4B2~1\\8A3F~1.AVI");
  EXPECT_EQ(enumerator.Files()[0].Size, 300);
  EXPECT_EQ(enumerator.Files()[1].Path, "D:\\??.wmv");
  EXPECT_EQ(enumerator.Files()[1].Size, 0);
}

TEST(FindFilesTest, UsesTheShortNameOfALookAlikeName) {
  MemoryPlatform platform;
  // "Mixé" is listed as "Mixe" on a Windows-1251 system: that name opens nothing.
  platform.AddFile("D:\\Caf\xE9\\Mix\xE9.avi", 40);
  platform.SetListedName("D:\\Caf\xE9", "Cafe");
  platform.SetShortName("D:\\Caf\xE9", "CAFE~1");
  platform.SetListedName("D:\\Caf\xE9\\Mix\xE9.avi", "Mixe.avi");
  platform.SetShortName("D:\\Caf\xE9\\Mix\xE9.avi", "MIXE~1.AVI");
  // A name that opens keeps its long form, even when its file is busy.
  platform.AddFile("D:\\Long name.avi", 50);
  platform.SetShortName("D:\\Long name.avi", "LONGNA~1.AVI");
  platform.AddFile("D:\\Busy film.avi", 60);
  platform.SetShortName("D:\\Busy film.avi", "BUSYFI~1.AVI");
  platform.HoldOpen("D:\\Busy film.avi", win::kGenericWrite, win::kFileShareRead);
  TQVVideoFilesEnumerator enumerator;
  enumerator.FindFiles("D:\\*.*");
  ASSERT_EQ(enumerator.Count(), 3);
  EXPECT_EQ(enumerator.Files()[0].Path, "D:\\CAFE~1\\MIXE~1.AVI");
  EXPECT_EQ(enumerator.Files()[0].Size, 40);
  EXPECT_EQ(enumerator.Files()[1].Path, "D:\\Long name.avi");
  EXPECT_EQ(enumerator.Files()[1].Size, 50);
  EXPECT_EQ(enumerator.Files()[2].Path, "D:\\Busy film.avi");
  EXPECT_EQ(enumerator.Files()[2].Size, 0);
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(FindFilesTest, UsesTheShortNameWhenTheListedNameReachesANeighbour) {
  MemoryPlatform platform;
  // "Café" and "Amélie.avi" are listed as "Cafe" and "Amelie.avi", and a
  // folder and a film of exactly those names stand beside them.
  platform.AddFile("D:\\Caf\xE9\\a.avi", 10);
  platform.SetListedName("D:\\Caf\xE9", "Cafe");
  platform.SetShortName("D:\\Caf\xE9", "CAFE~1");
  platform.AddFile("D:\\Cafe\\b.avi", 20);
  platform.AddFile("D:\\Am\xE9lie.avi", 30);
  platform.SetListedName("D:\\Am\xE9lie.avi", "Amelie.avi");
  platform.SetShortName("D:\\Am\xE9lie.avi", "AMELIE~1.AVI");
  platform.AddFile("D:\\Amelie.avi", 40);
  platform.SetShortName("D:\\Amelie.avi", "AMELIE~2.AVI");
  // Busy, and its listed name opens nothing: still reached by its 8.3 name.
  platform.AddFile("D:\\B\xE9la.avi", 50);
  platform.SetListedName("D:\\B\xE9la.avi", "Bela.avi");
  platform.SetShortName("D:\\B\xE9la.avi", "BELA~1.AVI");
  platform.HoldOpen("D:\\B\xE9la.avi", win::kGenericWrite, win::kFileShareRead);
  TQVVideoFilesEnumerator enumerator;
  enumerator.FindFiles("D:\\*.*");
  std::vector<std::pair<std::string, std::int64_t>> found;
  for (const TVideoFile& file : enumerator.Files()) found.emplace_back(file.Path, file.Size);
  EXPECT_EQ(found, (std::vector<std::pair<std::string, std::int64_t>>{{"D:\\CAFE~1\\a.avi", 10},
                                                                        {"D:\\Cafe\\b.avi", 20},
                                                                        {"D:\\AMELIE~1.AVI", 30},
                                                                        {"D:\\Amelie.avi", 40},
                                                                        {"D:\\BELA~1.AVI", 0}}));
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(FindFilesTest, OpensByThe8Dot3NameOnlyWhenTheListedNameFails) {
  MemoryPlatform platform;
  // Opening by an 8.3 name can mean a search of the whole folder (Wine hashes
  // every name): the listed name that finds its own entry is enough.
  platform.AddFile("D:\\Sub folder\\Long name.avi", 1);
  platform.SetShortName("D:\\Sub folder", "SUBFOL~1");
  platform.SetShortName("D:\\Sub folder\\Long name.avi", "LONGNA~1.AVI");
  EXPECT_EQ(Walk(), std::vector<std::string>{"D:\\Sub folder\\Long name.avi"});
  for (const std::string& path : platform.Opens) {
    EXPECT_EQ(path.find('~'), std::string::npos) << path;
  }
  EXPECT_FALSE(platform.Opens.empty());
}

TEST(FindFilesTest, ReachesFoldersWhoseNamesEndInDotsOrSpaces) {
  MemoryPlatform platform;
  // Windows reads "Trail.\" as "Trail\", the folder beside it; "Dir \" and
  // ".. \" stay themselves inside a path, though not at its end.
  platform.AddFile("D:\\Trail.\\dotted.avi", 1);
  platform.SetShortName("D:\\Trail.", "TRAIL~1");
  platform.AddFile("D:\\Trail\\plain.avi", 2);
  platform.AddFile("D:\\Dir \\spaced.avi", 3);
  platform.SetShortName("D:\\Dir ", "DIR~1");
  platform.AddFile("D:\\Dir\\plain.avi", 4);
  platform.AddFile("D:\\.. \\dots.avi", 5);
  platform.SetShortName("D:\\.. ", "_~1");
  EXPECT_EQ(Walk(), (std::vector<std::string>{"D:\\TRAIL~1\\dotted.avi", "D:\\Trail\\plain.avi",
                                               "D:\\Dir \\spaced.avi", "D:\\Dir\\plain.avi",
                                               "D:\\.. \\dots.avi"}));
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST(FindFilesTest, TestsTheExtensionOnTheLongName) {
  MemoryPlatform platform;
  // The 8.3 name cuts ".divx" to ".DIV"; the long name still tells a video.
  platform.AddFile("D:\\?.divx", 9);
  platform.SetShortName("D:\\?.divx", "1A2B~1.DIV");
  EXPECT_EQ(Walk(), std::vector<std::string>{"D:\\1A2B~1.DIV"});
}

// --- Ordering ---------------------------------------------------------------

TVideoFileList List(std::initializer_list<TVideoFile> files) { return files; }

std::vector<std::string> Sorted(TVideoFileList files, TSortMode mode) {
  TQVVideoFilesEnumerator enumerator;
  for (TVideoFile& file : files) enumerator.AddFile(file.Path, file.Size);
  enumerator.SortMode = mode;
  enumerator.Sort();
  return Paths(enumerator);
}

TEST(SortTest, OrdersByEachMode) {
  MemoryPlatform platform;
  const TVideoFileList files = List({{"D:\\b.avi", 30},
                                     {"D:\\Sub\\a.avi", 10},
                                     {"D:\\C.avi", 20},
                                     {"D:\\Sub\\d.avi", 0}});
  struct Case {
    TSortMode mode;
    std::vector<std::string> expected;
  } cases[] = {
      {smNone, {"D:\\b.avi", "D:\\Sub\\a.avi", "D:\\C.avi", "D:\\Sub\\d.avi"}},
      {smNameAsc, {"D:\\Sub\\a.avi", "D:\\b.avi", "D:\\C.avi", "D:\\Sub\\d.avi"}},
      {smNameDesc, {"D:\\Sub\\d.avi", "D:\\C.avi", "D:\\b.avi", "D:\\Sub\\a.avi"}},
      {smSizeAsc, {"D:\\Sub\\d.avi", "D:\\Sub\\a.avi", "D:\\C.avi", "D:\\b.avi"}},
      {smSizeDesc, {"D:\\b.avi", "D:\\C.avi", "D:\\Sub\\a.avi", "D:\\Sub\\d.avi"}},
      {static_cast<TSortMode>(7), {"D:\\b.avi", "D:\\Sub\\a.avi", "D:\\C.avi", "D:\\Sub\\d.avi"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sorted(files, c.mode), c.expected) << "mode " << int(c.mode);
  }
}

TEST(SortTest, NamesSortInTheAnsiCodePageUnderEnglishFormats) {
  MemoryPlatform platform;
  platform.FormatsCodePage = 1252;  // names read there, "Ёж" would be "¨æ"
  // Щука, Ёж, арбуз, Яма, Бык
  const TVideoFileList files = List({{"D:\\\xD9\xF3\xEA\xE0.avi", 1},
                                     {"D:\\\xA8\xE6.avi", 1},
                                     {"D:\\\xE0\xF0\xE1\xF3\xE7.avi", 1},
                                     {"D:\\\xDF\xEC\xE0.avi", 1},
                                     {"D:\\\xC1\xFB\xEA.avi", 1}});
  EXPECT_EQ(Sorted(files, smNameAsc),
            (std::vector<std::string>{"D:\\\xE0\xF0\xE1\xF3\xE7.avi", "D:\\\xC1\xFB\xEA.avi",
                                      "D:\\\xA8\xE6.avi", "D:\\\xD9\xF3\xEA\xE0.avi",
                                      "D:\\\xDF\xEC\xE0.avi"}));
}

TEST(SortTest, EqualSizesFallBackToTheFullPathAsciiFolded) {
  MemoryPlatform platform;
  const TVideoFileList files = List({{"D:\\b\\x.avi", 5},
                                     {"D:\\B_\\x.avi", 5},
                                     {"D:\\a\\z.avi", 5},
                                     {"D:\\big.avi", 6}});
  // '_' (0x5F) sorts after the letters once they are folded to upper case.
  EXPECT_EQ(Sorted(files, smSizeAsc), (std::vector<std::string>{"D:\\a\\z.avi", "D:\\b\\x.avi",
                                                                 "D:\\B_\\x.avi", "D:\\big.avi"}));
  EXPECT_EQ(Sorted(files, smSizeDesc), (std::vector<std::string>{"D:\\big.avi", "D:\\B_\\x.avi",
                                                                  "D:\\b\\x.avi", "D:\\a\\z.avi"}));
}

TEST(SortTest, SizesCompareAsSigned64Bit) {
  MemoryPlatform platform;
  const TVideoFileList files = List({{"D:\\huge.avi", 0x1'0000'0000LL},
                                     {"D:\\four.avi", 0xFFFFFFFFLL},
                                     {"D:\\one.avi", 1}});
  EXPECT_EQ(Sorted(files, smSizeAsc),
            (std::vector<std::string>{"D:\\one.avi", "D:\\four.avi", "D:\\huge.avi"}));
}

TEST(SortTest, EqualNamesAreExchangedAsTheQuicksortDoes) {
  MemoryPlatform platform;
  // Same name in two folders: equal under the name modes. The list's
  // quicksort exchanges items that compare equal to the pivot.
  EXPECT_EQ(Sorted(List({{"D:\\X\\Film.avi", 1}, {"D:\\Y\\film.avi", 2}}), smNameAsc),
            (std::vector<std::string>{"D:\\Y\\film.avi", "D:\\X\\Film.avi"}));
  EXPECT_EQ(Sorted(List({{"D:\\1\\a.avi", 1}, {"D:\\2\\a.avi", 1}, {"D:\\3\\a.avi", 1}}),
                   smNameDesc),
            (std::vector<std::string>{"D:\\3\\a.avi", "D:\\2\\a.avi", "D:\\1\\a.avi"}));
}

TEST(SortTest, SortsLargeListsCompletely) {
  MemoryPlatform platform;
  std::mt19937 random(7);
  TVideoFileList files;
  for (int i = 0; i < 2000; ++i) {
    files.push_back({"D:\\f" + std::to_string(random() % 500) + ".avi",
                     static_cast<std::int64_t>(random() % 300)});
  }
  TVideoFileList sorted = files;
  QuickSort(sorted, CompareBySize);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
    return a.Size != b.Size ? a.Size < b.Size : AsciiCompareText(a.Path, b.Path) < 0;
  }));
  EXPECT_TRUE(std::is_permutation(files.begin(), files.end(), sorted.begin(),
                                  [](const auto& a, const auto& b) {
                                    return a.Path == b.Path && a.Size == b.Size;
                                  }));
}

// LCMapStringA fails only for want of memory or a bad flag; the name whose
// key it could not make sorts as the empty name, and nothing is lost.
TEST(SortTest, ANameWithoutSortKeySortsAsTheEmptyName) {
  MemoryPlatform platform;
  FailingPlatform faults(platform);
  const TVideoFileList files = List({{"D:\\b.avi", 1}, {"D:\\c.avi", 1}, {"D:\\a.avi", 1}});
  faults.FailCall(FailingPlatform::Call::LCMapStringA, 2, win::kErrorNotEnoughMemory);
  EXPECT_EQ(Sorted(files, smNameAsc),
            (std::vector<std::string>{"D:\\c.avi", "D:\\a.avi", "D:\\b.avi"}));
  faults.FailCall(FailingPlatform::Call::LCMapStringA, 2, win::kErrorNotEnoughMemory);
  EXPECT_EQ(Sorted(files, smNameDesc),
            (std::vector<std::string>{"D:\\b.avi", "D:\\a.avi", "D:\\c.avi"}));
}

TEST(SortTest, NameKeysAreDroppedAfterTheSort) {
  MemoryPlatform platform;
  TQVVideoFilesEnumerator enumerator;
  enumerator.AddFile("D:\\b.avi", 1);
  enumerator.AddFile("D:\\A.avi", 2);
  enumerator.SortMode = smNameAsc;
  enumerator.Sort();
  EXPECT_EQ(Paths(enumerator), (std::vector<std::string>{"D:\\A.avi", "D:\\b.avi"}));
  for (const TVideoFile& file : enumerator.Files()) EXPECT_TRUE(file.NameKey.empty());
}

}  // namespace
}  // namespace reelstart
