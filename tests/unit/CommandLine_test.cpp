#include "common/CommandLine.h"

#include <gtest/gtest.h>

#include "support/Platform_mem.h"

namespace reelstart {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLineTest, SplitsAsTheProgramReadsSwitches) {
  struct Case {
    std::string line;
    Args expected;
  } cases[] = {
      {"start.exe", {"start.exe"}},
      {"start.exe /name -asc", {"start.exe", "/name", "-asc"}},
      {"\"D:\\My Films\\start.exe\" /name", {"D:\\My Films\\start.exe", "/name"}},
      {"  start.exe\t/name\r\n/size  ", {"start.exe", "/name", "/size"}},
      {"start.exe\x01/name\x1F/size", {"start.exe", "/name", "/size"}},  // control bytes separate
      {"start.exe \"/name\"", {"start.exe", "/name"}},
      {"start.exe \"\" /name", {"start.exe", "/name"}},          // an empty pair is no argument
      {"start.exe \"\"\"\" /name", {"start.exe", "/name"}},
      {"start.exe \"\"/name", {"start.exe", "/name"}},
      {"start.exe /na\"me\"", {"start.exe", "/name"}},            // stretches join
      {"start.exe \"/a b\"c d", {"start.exe", "/a bc", "d"}},
      {"start.exe \"/name", {"start.exe", "/name"}},              // unterminated quote
      {"start.exe \"/name /size", {"start.exe", "/name /size"}},
      {"start.exe a\\\"b c\"", {"start.exe", "a\\b c"}},           // backslash is ordinary
      {"start.exe a\\\\\"b\" c", {"start.exe", "a\\\\b", "c"}},
      {"start.exe /name \"", {"start.exe", "/name"}},             // a lone quote at the end
      {"start.exe \xC8\xEC\xFF /\xE8", {"start.exe", "\xC8\xEC\xFF", "/\xE8"}},
      {"", {""}},
      {"\"\" /name", {"/name", }},                                 // argument 0 can be skipped too
      {std::string("start.exe /a\0/b", 15), {"start.exe", "/a"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
  }
}

struct SwitchCase {
  const char* commandLine;
  const char* name;
  bool found;
};

class FindSwitchTest : public ::testing::TestWithParam<SwitchCase> {
 protected:
  MemoryPlatform platform;
};

TEST_P(FindSwitchTest, MatchesWholeNamesAfterADashOrSlash) {
  platform.CommandLine = GetParam().commandLine;
  EXPECT_EQ(FindSwitch(GetParam().name), GetParam().found) << GetParam().commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindSwitchTest,
    ::testing::Values(SwitchCase{"start.exe /name", "name", true},
                      SwitchCase{"start.exe -name", "name", true},
                      SwitchCase{"start.exe /NAME", "name", true},
                      SwitchCase{"start.exe -Name", "name", true},
                      SwitchCase{"start.exe /?", "?", true},
                      SwitchCase{"start.exe -HELP", "help", true},
                      SwitchCase{"start.exe \"/name\"", "name", true},
                      SwitchCase{"start.exe \"\" /name", "name", true},
                      SwitchCase{"start.exe name", "name", false},
                      SwitchCase{"start.exe --size", "size", false},
                      SwitchCase{"start.exe //size", "size", false},
                      SwitchCase{"start.exe /name2", "name", false},
                      SwitchCase{"start.exe /name:x", "name", false},
                      SwitchCase{"start.exe /nam", "name", false},
                      SwitchCase{"start.exe /", "name", false},
                      SwitchCase{"/name", "name", false},  // argument 0 is never a switch
                      SwitchCase{"\"/name\" /size", "name", false},
                      SwitchCase{"start.exe /size /name", "name", true}));

TEST(FindSwitchTest, ComparesWithTheLocale) {
  MemoryPlatform platform;
  // The stand-in's locale folds Windows-1251 letters as Russian Windows does.
  platform.CommandLine = "start.exe /\xC8\xCC\xDF";  // "/ИМЯ"
  EXPECT_TRUE(FindSwitch("\xE8\xEC\xFF"));         // "имя"
}

}  // namespace
}  // namespace reelstart
