#include <gtest/gtest.h>

#include "common/Errors.h"
#include "support/Platform_mem.h"
#include "videofiles/QVPlaylist.h"
#include "videofiles/QVVideoFilesEnumerator.h"

namespace reelstart {
namespace {

// The header's Russian words in Windows-1251, spelled out byte by byte.
const std::string kAuthorWord = "\xC0\xE2\xF2\xEE\xF0 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB:";
const std::string kPublisherWord = "\xC8\xE7\xE4\xE0\xF2\xE5\xEB\xFC:";
const std::string kCopyrightWord = "\xC0\xE2\xF2\xEE\xF0\xF1\xEA\xE8\xE5 \xEF\xF0\xE0\xE2\xE0:";
const std::string kFilmsWord = "\xD4\xE8\xEB\xFC\xEC\xFB";

class PlaylistTest : public ::testing::Test {
 protected:
  PlaylistTest() {
    platform.ModuleFileName = "D:\\start.exe";
    platform.Environment["TMP"] = "C:\\Temp";
    platform.AddFolder("C:\\Temp");
  }

  bool Create(std::string& playlistFile, const std::string& author = "",
              const std::string& publisher = "", const std::string& copyright = "") {
    return enumerator.CreatePlaylist(author, publisher, copyright, playlistFile);
  }

  MemoryPlatform platform;
  TQVVideoFilesEnumerator enumerator;
};

TEST_F(PlaylistTest, WritesTheExactBytes) {
  enumerator.AddFile("D:\\a.avi", 1);
  std::string playlistFile = "stale";
  ASSERT_TRUE(Create(playlistFile));
  EXPECT_EQ(playlistFile, "C:\\Temp\\start.asx");
  EXPECT_EQ(platform.FileContent("C:\\Temp\\start.asx"),
            "<ASX Version=\"3.0\">\r\n"
            "<Author>" + kAuthorWord + "  " + kPublisherWord + " </Author>\r\n"
            "<Copyright>" + kCopyrightWord + " </Copyright>\r\n"
            "<Title>" + kFilmsWord + "</Title>\r\n"
            "\t<Entry>\r\n"
            "\t\t<Ref href=\"D:\\a.avi\"/>\r\n"
            "\t\t<Title>a</Title>\r\n"
            "\t</Entry>\r\n"
            "</ASX>\r\n");
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(PlaylistTest, HeaderIs137BytesBeforeItsValues) {
  const std::string text = PlaylistText(enumerator.Files(), "", "", "", {});
  // Empty list: header, its CR LF, "</ASX>" CR LF; minus the six "%s" bytes.
  EXPECT_EQ(text.size(), 137u - 6u + 2u + 8u);
  EXPECT_EQ(PlaylistText(enumerator.Files(), "Ivan", "Velkor Programs", "(c) 2007", {}),
            "<ASX Version=\"3.0\">\r\n"
            "<Author>" + kAuthorWord + " Ivan " + kPublisherWord + " Velkor Programs</Author>\r\n"
            "<Copyright>" + kCopyrightWord + " (c) 2007</Copyright>\r\n"
            "<Title>" + kFilmsWord + "</Title>\r\n</ASX>\r\n");
}

TEST_F(PlaylistTest, WritesEntriesInSortedOrderUnescaped) {
  enumerator.SortMode = smSizeDesc;
  enumerator.AddFile("D:\\Extra\\Clip.wmv", 20);
  enumerator.AddFile("D:\\Tom & Jerry <1>.avi", 700);
  enumerator.AddFile("D:\\.avi", 5);
  enumerator.AddFile("D:\\Part 1.film.mpg", 30);
  std::string playlistFile;
  ASSERT_TRUE(Create(playlistFile));
  const std::string text = platform.FileContent(playlistFile);
  const std::string entries = text.substr(text.find("\t<Entry>"));
  EXPECT_EQ(entries,
            "\t<Entry>\r\n\t\t<Ref href=\"D:\\Tom & Jerry <1>.avi\"/>\r\n"
            "\t\t<Title>Tom & Jerry <1></Title>\r\n\t</Entry>\r\n"
            "\t<Entry>\r\n\t\t<Ref href=\"D:\\Part 1.film.mpg\"/>\r\n"
            "\t\t<Title>Part 1.film</Title>\r\n\t</Entry>\r\n"
            "\t<Entry>\r\n\t\t<Ref href=\"D:\\Extra\\Clip.wmv\"/>\r\n"
            "\t\t<Title>Clip</Title>\r\n\t</Entry>\r\n"
            "\t<Entry>\r\n\t\t<Ref href=\"D:\\.avi\"/>\r\n"
            "\t\t<Title></Title>\r\n\t</Entry>\r\n"
            "</ASX>\r\n");
}

TEST_F(PlaylistTest, EmptyListTouchesNothing) {
  std::string playlistFile = "stale";
  EXPECT_FALSE(Create(playlistFile));
  EXPECT_EQ(playlistFile, "");
  EXPECT_TRUE(platform.EnvironmentReads.empty());
  EXPECT_FALSE(platform.Exists("C:\\Temp\\start.asx"));
}

TEST_F(PlaylistTest, NamesThePlaylistAfterTheExecutable) {
  struct Case {
    const char* module;
    const char* tmp;
    const char* expected;
  } cases[] = {
      {"D:\\film.cd.exe", "C:\\Temp", "C:\\Temp\\film.cd.asx"},
      {"D:\\Films\\start", "C:\\Temp", "C:\\Temp\\start.asx"},
      {"D:\\v1.0\\start", "C:\\Temp", "C:\\Temp\\start.asx"},
      {"D:\\start.exe", "C:\\Temp\\", "C:\\Temp\\\\start.asx"},  // TMP used as it is
  };
  enumerator.AddFile("D:\\a.avi", 1);
  for (const Case& c : cases) {
    platform.ModuleFileName = c.module;
    platform.Environment["TMP"] = c.tmp;
    std::string playlistFile;
    ASSERT_TRUE(Create(playlistFile)) << c.module;
    EXPECT_EQ(playlistFile, c.expected);
    EXPECT_TRUE(platform.Exists(c.expected)) << c.expected;
  }
}

TEST_F(PlaylistTest, UnsetOrEmptyTmpMeansTheSystemTemporaryFolder) {
  platform.TempPath = "C:\\Users\\me\\Local\\Temp\\";
  platform.AddFolder("C:\\Users\\me\\Local\\Temp");
  enumerator.AddFile("D:\\a.avi", 1);
  for (const char* tmp : {static_cast<const char*>(""), static_cast<const char*>(nullptr)}) {
    if (tmp != nullptr) {
      platform.Environment["TMP"] = tmp;
    } else {
      platform.Environment.erase("TMP");
    }
    std::string playlistFile;
    ASSERT_TRUE(Create(playlistFile));
    EXPECT_EQ(playlistFile, "C:\\Users\\me\\Local\\Temp\\start.asx");
  }
}

TEST_F(PlaylistTest, AFolderTheCodePageCannotSpellIsReachedByIts8Dot3Path) {
  // A profile named "Łukasz": the ANSI spelling "Lukasz" reaches nothing.
  platform.AddFolder("C:\\Users\\LUKASZ~1\\Temp");
  enumerator.AddFile("D:\\a.avi", 1);
  platform.TempPath = "C:\\Users\\Lukasz\\Temp\\";
  platform.ShortTempPath = "C:\\Users\\LUKASZ~1\\Temp\\";
  for (const bool tmpSet : {true, false}) {
    if (tmpSet) {
      platform.Environment["TMP"] = "C:\\Users\\Lukasz\\Temp";
      platform.ShortEnvironment["TMP"] = "C:\\Users\\LUKASZ~1\\Temp";
    } else {
      platform.Environment.erase("TMP");
    }
    std::string playlistFile;
    ASSERT_TRUE(Create(playlistFile));
    EXPECT_EQ(playlistFile, "C:\\Users\\LUKASZ~1\\Temp\\start.asx") << "TMP set: " << tmpSet;
    EXPECT_TRUE(platform.Exists(playlistFile));
  }
}

TEST_F(PlaylistTest, SecondRunOverwritesTheFirst) {
  enumerator.AddFile("D:\\a.avi", 1);
  std::string playlistFile;
  ASSERT_TRUE(Create(playlistFile, "first"));
  ASSERT_TRUE(Create(playlistFile, "second"));
  const std::string text = platform.FileContent(playlistFile);
  EXPECT_EQ(text.find("first"), std::string::npos);
  EXPECT_NE(text.find("second"), std::string::npos);
  EXPECT_EQ(text.find("<ASX"), 0u);
}

struct CreateFailure {
  const char* name;
  void (*arrange)(MemoryPlatform&);
  const char* message;
};

void PrintTo(const CreateFailure& c, std::ostream* os) { *os << c.name; }

class PlaylistCreateErrorTest : public PlaylistTest,
                                public ::testing::WithParamInterface<CreateFailure> {};

TEST_P(PlaylistCreateErrorTest, RaisesEFCreateErrorWithTheSystemText) {
  GetParam().arrange(platform);
  enumerator.AddFile("D:\\a.avi", 1);
  std::string playlistFile;
  try {
    Create(playlistFile);
    FAIL() << "no error";
  } catch (const EFCreateError& error) {
    EXPECT_STREQ(error.ClassName(), "EFCreateError");
    EXPECT_EQ(error.Message(), GetParam().message);
    EXPECT_NE(error.Address(), 0u);
  }
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PlaylistCreateErrorTest,
    ::testing::Values(
        CreateFailure{"MissingFolder",
                      [](MemoryPlatform& p) { p.Environment["TMP"] = "C:\\Nowhere\\"; },
                      "Cannot create file \"C:\\Nowhere\\start.asx\". "
                      "The system cannot find the path specified"},
        CreateFailure{"ReadOnlyFolder", [](MemoryPlatform& p) { p.DenyCreate("C:\\Temp"); },
                      "Cannot create file \"C:\\Temp\\start.asx\". Access is denied"},
        CreateFailure{"HiddenPlaylist",
                      [](MemoryPlatform& p) { p.AddFile("C:\\Temp\\start.asx", 0, 0x02); },
                      "Cannot create file \"C:\\Temp\\start.asx\". Access is denied"},
        CreateFailure{"ReadOnlyPlaylist",
                      [](MemoryPlatform& p) { p.AddFile("C:\\Temp\\start.asx", 0, 0x01); },
                      "Cannot create file \"C:\\Temp\\start.asx\". Access is denied"},
        CreateFailure{"PlaylistOpenElsewhere",
                      [](MemoryPlatform& p) {
                        // A player still reading the last run's playlist.
                        p.AddFile("C:\\Temp\\start.asx", 0);
                        p.HoldOpen("C:\\Temp\\start.asx", win::kGenericRead, win::kFileShareRead);
                      },
                      "Cannot create file \"C:\\Temp\\start.asx\". The process cannot access "
                      "the file because it is being used by another process"},
        CreateFailure{"RelativeTmp",
                      [](MemoryPlatform& p) {
                        p.Environment["TMP"] = "nothere";
                        p.CurrentDirectory = "E:\\work\\";
                      },
                      "Cannot create file \"E:\\work\\nothere\\start.asx\". "
                      "The system cannot find the path specified"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaylistTest, ShortWriteRaisesEWriteErrorAndClosesTheFile) {
  enumerator.AddFile("D:\\a.avi", 1);
  platform.WriteLimit = 100;
  std::string playlistFile;
  try {
    Create(playlistFile);
    FAIL() << "no error";
  } catch (const EWriteError& error) {
    EXPECT_EQ(error.Message(), "Stream write error");
  }
  EXPECT_EQ(platform.FileContent("C:\\Temp\\start.asx").size(), 100u);
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace reelstart
