#include "common/Paths.h"

#include <gtest/gtest.h>

#include "support/Platform_mem.h"

namespace reelstart {
namespace {

struct PathCase {
  const char* path;
  const char* folder;
  const char* name;
  const char* ext;
  const char* asx;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << '"' << c.path << '"'; }

class PathsTest : public ::testing::TestWithParam<PathCase> {
 protected:
  MemoryPlatform platform;
};

TEST_P(PathsTest, SplitsAtTheLastDelimiter) {
  const PathCase& c = GetParam();
  EXPECT_EQ(ExtractFilePath(c.path), c.folder);
  EXPECT_EQ(ExtractFileName(c.path), c.name);
  EXPECT_EQ(ExtractFileExt(c.path), c.ext);
  EXPECT_EQ(ChangeFileExt(c.path, ".asx"), c.asx);
}

INSTANTIATE_TEST_SUITE_P(
    AnsiCodePage, PathsTest,
    ::testing::Values(PathCase{"D:\\start.exe", "D:\\", "start.exe", ".exe", "D:\\start.asx"},
                      PathCase{"D:\\film.cd.exe", "D:\\", "film.cd.exe", ".exe", "D:\\film.cd.asx"},
                      PathCase{"D:\\Films\\start", "D:\\Films\\", "start", "", "D:\\Films\\start.asx"},
                      PathCase{"D:\\v1.0\\start", "D:\\v1.0\\", "start", "", "D:\\v1.0\\start.asx"},
                      PathCase{"D:start.exe", "D:", "start.exe", ".exe", "D:start.asx"},
                      PathCase{"start.exe", "", "start.exe", ".exe", "start.asx"},
                      PathCase{"D:\\.avi", "D:\\", ".avi", ".avi", "D:\\.asx"},
                      PathCase{"D:\\dir\\", "D:\\dir\\", "", "", "D:\\dir\\.asx"},
                      PathCase{"", "", "", "", ".asx"}));

TEST(PathsDoubleByteTest, TrailByteIsNeverADelimiter) {
  MemoryPlatform platform;
  platform.SetCodePage(932);
  // 0x95 0x5C is one Shift-JIS character whose second byte is the code of '\'.
  const std::string path = "D:\\\x95\x5C.avi";
  EXPECT_EQ(ExtractFilePath(path), "D:\\");
  EXPECT_EQ(ExtractFileName(path), "\x95\x5C.avi");
  EXPECT_EQ(ExtractFileExt(path), ".avi");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\\x95\x5C"), "C:\\\x95\x5C");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\\x95\x5C\\"), "C:\\\x95\x5C");

  // The same bytes under a single-byte code page are two characters.
  platform.SetCodePage(1251);
  EXPECT_EQ(ExtractFileName(path), ".avi");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\\x95\x5C"), "C:\\\x95");
}

TEST(PathsDoubleByteTest, LeadByteAtTheEndStandsAlone) {
  MemoryPlatform platform;
  platform.SetCodePage(936);
  EXPECT_EQ(ExtractFileName("D:\\a\\b\x81"), "b\x81");
}

TEST(PathsTest, ExcludeTrailingBackslashKeepsOtherPaths) {
  MemoryPlatform platform;
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Temp\\"), "C:\\Temp");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Temp"), "C:\\Temp");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\"), "C:");
  EXPECT_EQ(ExcludeTrailingBackslash(""), "");
}

}  // namespace
}  // namespace reelstart
