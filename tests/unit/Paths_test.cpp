#include "common/Paths.h"

#include <gtest/gtest.h>

#include "common/Locale.h"
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

// The lead bytes a system of `codePage` reports (none for 1251).
TLeadBytes LeadBytesOf(unsigned codePage) {
  MemoryPlatform platform;
  platform.SetCodePage(codePage);
  return GetAnsiLeadBytes();
}

const TLeadBytes kSingleByte;

class PathsTest : public ::testing::TestWithParam<PathCase> {};

// The helpers are pure: no platform is installed here.
TEST_P(PathsTest, SplitsAtTheLastDelimiter) {
  const PathCase& c = GetParam();
  EXPECT_EQ(ExtractFilePath(c.path, kSingleByte), c.folder);
  EXPECT_EQ(ExtractFileName(c.path, kSingleByte), c.name);
  EXPECT_EQ(ExtractFileExt(c.path, kSingleByte), c.ext);
  EXPECT_EQ(ChangeFileExt(c.path, ".asx", kSingleByte), c.asx);
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
  const TLeadBytes shiftJis = LeadBytesOf(932);
  // 0x95 0x5C is one Shift-JIS character whose second byte is the code of '\'.
  const std::string path = "D:\\\x95\x5C.avi";
  EXPECT_EQ(ExtractFilePath(path, shiftJis), "D:\\");
  EXPECT_EQ(ExtractFileName(path, shiftJis), "\x95\x5C.avi");
  EXPECT_EQ(ExtractFileExt(path, shiftJis), ".avi");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\\x95\x5C", shiftJis), "C:\\\x95\x5C");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\\x95\x5C\\", shiftJis), "C:\\\x95\x5C");

  // The same bytes under a single-byte code page are two characters.
  const TLeadBytes cyrillic = LeadBytesOf(1251);
  EXPECT_EQ(ExtractFileName(path, cyrillic), ".avi");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\\x95\x5C", cyrillic), "C:\\\x95");
}

TEST(PathsDoubleByteTest, LeadByteAtTheEndStandsAlone) {
  EXPECT_EQ(ExtractFileName("D:\\a\\b\x81", LeadBytesOf(936)), "b\x81");
}

TEST(PathsTest, ExcludeTrailingBackslashKeepsOtherPaths) {
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Temp\\", kSingleByte), "C:\\Temp");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Temp", kSingleByte), "C:\\Temp");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\", kSingleByte), "C:");
  EXPECT_EQ(ExcludeTrailingBackslash("", kSingleByte), "");
}

}  // namespace
}  // namespace reelstart
