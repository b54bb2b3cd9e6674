#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "support/VersionBlockBuilder.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "platform/Win1251.h"
#include "support/Platform_mem.h"
#include "version/QVVersion.h"
#include "videofiles/QVVideoFilesEnumerator.h"
#include "videofiles/QVVideoFilesProcessor.h"

namespace reelstart {
namespace {

class ExecuteTest : public ::testing::Test {
 protected:
  ExecuteTest() {
    // The program at the root of a film disc.
    platform.ModuleFileName = "D:\\start.exe";
    platform.SetReadOnlyVolume("D:");
    platform.AddFile("D:\\start.exe", 50000);
    // The names the statistics key is made of, as the shipped resource has them.
    using namespace version_builder;
    platform.VersionResources["D:\\start.exe"] = VersionResource(
        u"041904E3",
        {TextValue(u"CompanyName", u"Velkor Programs"), TextValue(u"InternalName", u"Reelstart"),
         TextValue(u"ProductVersion", u"2.2.0")},
        0x0419, 1251);
    platform.Environment["TMP"] = "C:\\Temp";
    platform.AddFolder("C:\\Temp");
    platform.CurrentDirectory = "E:\\Elsewhere\\";
  }

  int Run() { return RunWithErrorReport(&TQVVideoFilesProcessor::Execute); }

  // The key the README names; the fixture's resource holds its three names.
  static constexpr const char* kStatisticsKey = "Software\\Velkor Programs\\Reelstart\\2.2.0";

  std::optional<MemoryPlatform::RegistryValue> Statistic(RegistryKey root,
                                                         const std::string& name) {
    return platform.GetRegistryValue(root, kStatisticsKey, name);
  }

  // The one message box of the run is the "Application Error" report of
  // `className` raised in `module`, its second line `message`.
  void ExpectErrorReport(const std::string& className, const std::string& module,
                         const std::string& message) {
    ASSERT_EQ(platform.MessageBoxes.size(), 1u);
    const auto& box = platform.MessageBoxes[0];
    EXPECT_EQ(box.Caption, "Application Error");
    EXPECT_EQ(box.Type, 0x2010u);
    const std::string firstLine = "Exception " + className + " in module " + module + " at ";
    ASSERT_EQ(box.Text.compare(0, firstLine.size(), firstLine), 0) << box.Text;
    EXPECT_EQ(box.Text.substr(firstLine.size() + 8), ".\r\n" + message + "\r\n");
  }

  MemoryPlatform platform;
};

TEST_F(ExecuteTest, WritesAndOpensThePlaylistOfTheExecutablesFolder) {
  platform.AddFile("D:\\Film 1.avi", 700'000'000);
  platform.AddFile("D:\\Extra\\Clip.wmv", 20'000'000);
  platform.AddFile("E:\\Elsewhere\\other.avi", 1);  // the current folder is not searched
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(platform.ShellRequests.size(), 1u);
  EXPECT_EQ(platform.ShellRequests[0].Operation, "open");
  EXPECT_EQ(platform.ShellRequests[0].File, "C:\\Temp\\start.asx");
  EXPECT_EQ(platform.ShellRequests[0].ShowCommand, 1);
  // In a single-threaded apartment without OLE1 DDE, released after.
  EXPECT_EQ(platform.ShellRequests[0].Apartment, 0x6u);
  EXPECT_EQ(platform.ComInitialisations(), 0u);
  const std::string text = platform.FileContent("C:\\Temp\\start.asx");
  // Without switches the largest film comes first.
  EXPECT_LT(text.find("Film 1.avi"), text.find("Clip.wmv"));
  EXPECT_EQ(text.find("other.avi"), std::string::npos);
  EXPECT_TRUE(platform.MessageBoxes.empty());
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(ExecuteTest, TheShellIsAskedAlsoWhereCOMCannotBeInitialised) {
  platform.AddFile("D:\\a.avi", 1);
  platform.CoInitializeAnswer = win::kRpcEChangedMode;
  EXPECT_EQ(Run(), 0);  // and nothing released that was not initialised
  ASSERT_EQ(platform.ShellRequests.size(), 1u);
  EXPECT_EQ(platform.ShellRequests[0].Apartment, 0u);
}

TEST_F(ExecuteTest, NoVideoFilesNoPlaylistNoMessage) {
  platform.AddFile("D:\\readme.txt", 10);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(platform.ShellRequests.empty());
  EXPECT_TRUE(platform.MessageBoxes.empty());
  EXPECT_FALSE(platform.Exists("C:\\Temp\\start.asx"));
  // The statistics are saved all the same.
  const MemoryPlatform::RegistryValue zero{win::kRegDword, std::string(4, '\0')};
  EXPECT_EQ(Statistic(kHkeyLocalMachine, "VideoFiles Count"), zero);
  EXPECT_EQ(Statistic(kHkeyCurrentUser, "VideoFiles Count"), zero);
}

TEST_F(ExecuteTest, SavesStatisticsOfEveryRun) {
  platform.AddFile("D:\\Film 1.avi", 700);
  platform.AddFile("D:\\Extra\\Clip.wmv", 20);
  platform.LocaleInfo[win::kLocaleSShortDate] = "dd.MM.yyyy";
  platform.LocaleInfo[win::kLocaleSDate] = ".";
  platform.LocalTime = {2008, 3, 5, 7, 10, 0, 0, 0};
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(platform.RegistryWrites.size(), 14u);
  for (const RegistryKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    EXPECT_EQ(Statistic(root, "Last Start"),
              (MemoryPlatform::RegistryValue{win::kRegSz, std::string("07.03.2008\0", 11)}));
    EXPECT_EQ(Statistic(root, "VideoFiles Count"),
              (MemoryPlatform::RegistryValue{win::kRegDword, std::string("\2\0\0\0", 4)}));
    EXPECT_EQ(Statistic(root, "Starts Count"),
              (MemoryPlatform::RegistryValue{win::kRegDword, std::string("\1\0\0\0", 4)}));
    EXPECT_EQ(Statistic(root, "Start Directory"),
              (MemoryPlatform::RegistryValue{win::kRegSz, std::string("D:\\\0", 4)}));
  }
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Statistic(kHkeyCurrentUser, "Starts Count"),
            (MemoryPlatform::RegistryValue{win::kRegDword, std::string("\2\0\0\0", 4)}));
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
}

TEST_F(ExecuteTest, ReadsTheLocalesDateSettingsOncePerRun) {
  platform.AddFile("D:\\a.avi", 1);
  EXPECT_EQ(Run(), 0);
  // Two dates under each of two roots, one reading of the picture.
  EXPECT_EQ(std::count(platform.LocaleInfoReads.begin(), platform.LocaleInfoReads.end(),
                       win::kLocaleSShortDate),
            1);
  EXPECT_EQ(std::count(platform.LocaleInfoReads.begin(), platform.LocaleInfoReads.end(),
                       win::kLocaleSDate),
            1);
}

TEST_F(ExecuteTest, DeniedLocalMachineIsReportedAfterThePlaylistWasOpened) {
  platform.AddFile("D:\\a.avi", 1);
  platform.DenyRegistryWrites(kHkeyLocalMachine);
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(platform.ShellRequests.size(), 1u);
  EXPECT_EQ(platform.ShellRequests[0].File, "C:\\Temp\\start.asx");
  EXPECT_FALSE(platform.FileContent("C:\\Temp\\start.asx").empty());
  ExpectErrorReport("ERegistryException", "start.exe", "Failed to set data for 'Last Start'.");
  // HKEY_CURRENT_USER is not reached.
  EXPECT_TRUE(platform.RegistryWrites.empty());
  EXPECT_FALSE(platform.RegistryKeyExists(kHkeyCurrentUser, kStatisticsKey));
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
}

TEST_F(ExecuteTest, BadStartsCountIsReportedWithExitCode1) {
  const struct {
    MemoryPlatform::RegistryValue stored;
    const char* message;
  } cases[] = {
      {{win::kRegSz, std::string("1\0", 2)}, "Invalid data type for 'Starts Count'."},
      {{win::kRegBinary, std::string(8, '\0')}, "Failed to get data for 'Starts Count'."},
  };
  for (const auto& c : cases) {
    platform.MessageBoxes.clear();
    platform.SetRegistryValue(kHkeyCurrentUser, kStatisticsKey, "Starts Count", c.stored);
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(platform.MessageBoxes.size(), 1u);
    const std::string& text = platform.MessageBoxes[0].Text;
    EXPECT_EQ(text.substr(text.find("\r\n") + 2), std::string(c.message) + "\r\n");
    EXPECT_EQ(platform.OpenKeyCount(), 0u);
  }
}

TEST_F(ExecuteTest, PlaylistErrorIsReportedAndNothingOpened) {
  platform.AddFile("D:\\a.avi", 1);
  platform.AddFolder("D:\\Sub");
  platform.Environment["TMP"] = "C:\\Missing";
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(platform.ShellRequests.empty());
  ExpectErrorReport("EFCreateError", "start.exe",
                    "Cannot create file \"C:\\Missing\\start.asx\". "
                    "The system cannot find the path specified.");
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
  // A run that fails before the statistics leaves the registry alone.
  EXPECT_TRUE(platform.RegistryWrites.empty());
}

}  // namespace
}  // namespace reelstart

namespace reelstart {
namespace {

TEST(GetSortModeTest, FollowsTheSwitchTable) {
  struct Case {
    const char* switches;
    TSortMode mode;
  } cases[] = {
      {"", smSizeDesc},
      {"/size", smSizeDesc},
      {"/size /asc", smSizeAsc},
      {"/size /desc", smSizeDesc},
      {"/asc", smSizeAsc},
      {"/desc", smSizeDesc},
      {"/asc /desc", smSizeDesc},
      {"/name", smNameAsc},
      {"/name /asc", smNameAsc},
      {"/name /desc", smNameDesc},
      {"/name /asc /desc", smNameAsc},
      {"/name /size", smSizeDesc},
      {"/name /size /asc", smSizeAsc},
      {"/name /size /desc", smSizeDesc},
      {"/name /size /asc /desc", smSizeDesc},
      {"/no", smNone},
      {"/no /name /asc", smNone},
      {"/size /no /desc", smNone},
      // Order, repetition and case do not matter.
      {"/desc /name", smNameDesc},
      {"-DESC -Name /desc /name", smNameDesc},
      {"/ASC /Size", smSizeAsc},
      {"-NO", smNone},
      // Not switches: ignored.
      {"name desc", smSizeDesc},
      {"--name /name2 /name:x", smSizeDesc},
      {"/films /x", smSizeDesc},
  };
  for (const Case& c : cases) {
    MemoryPlatform platform;
    platform.CommandLine = std::string("\"D:\\start.exe\" ") + c.switches;
    EXPECT_EQ(TQVVideoFilesProcessor::GetSortMode(), c.mode) << c.switches;
  }
  // An enumerator nobody sets the order of orders as the program does by default.
  EXPECT_EQ(TQVVideoFilesEnumerator().SortMode, cases[0].mode);
}

TEST(ShowHelpTest, FillsTheHelpTextAndShowsTheBox) {
  struct Case {
    const char* fileName;
    const char* program;
  } cases[] = {
      {"D:\\start.exe", "START"},
      {"D:\\film.cd.exe", "FILM.CD"},
      {"D:\\v1.5\\start", "START"},
      {"D:\\\xF4\xE8\xEB\xFC\xEC.exe", "\xD4\xC8\xCB\xDC\xCC"},  // фильм.exe: ФИЛЬМ
  };
  for (const Case& c : cases) {
    MemoryPlatform platform;
    platform.StringTable[65437] = "[%0:s] %1:s|%2:s|%3:s|%4:s|%5:s|%6:s %1:s";
    TQVFileVersionInfo versionInfo;
    versionInfo.FileName = c.fileName;
    versionInfo.ProductName = "Velkor Programs Reelstart";
    TQVVideoFilesProcessor::ShowHelp(versionInfo, {});
    ASSERT_EQ(platform.MessageBoxes.size(), 1u);
    EXPECT_EQ(platform.MessageBoxes[0].Text,
              std::string("[") + c.program + "] name|size|no|asc|desc|? name");
    EXPECT_EQ(platform.MessageBoxes[0].Caption, "Velkor Programs Reelstart");
    EXPECT_EQ(platform.MessageBoxes[0].Type, 0x40u);
  }
}

TEST_F(ExecuteTest, HelpShowsTheBoxAndDoesNothingElse) {
  platform.AddFile("D:\\a.avi", 1);
  platform.StringTable[65437] = "%0:s [/%1:s|/%2:s|/%3:s] [/%4:s|/%5:s] [/%6:s]";
  for (const char* commandLine : {"start.exe /?", "start.exe -HELP", "start.exe /help /name",
                                  "start.exe /name /?"}) {
    platform.CommandLine = commandLine;
    platform.MessageBoxes.clear();
    EXPECT_EQ(Run(), 0) << commandLine;
    ASSERT_EQ(platform.MessageBoxes.size(), 1u) << commandLine;
    EXPECT_EQ(platform.MessageBoxes[0].Text, "START [/name|/size|/no] [/asc|/desc] [/?]");
    EXPECT_EQ(platform.MessageBoxes[0].Type, 0x40u);
  }
  EXPECT_TRUE(platform.Listings.empty());
  EXPECT_TRUE(platform.ShellRequests.empty());
  EXPECT_TRUE(platform.EnvironmentReads.empty());
  EXPECT_FALSE(platform.Exists("C:\\Temp\\start.asx"));
}

TEST_F(ExecuteTest, HelpLeavesTheRegistryAlone) {
  platform.AddFile("D:\\a.avi", 1);
  platform.CommandLine = "start.exe /?";
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(platform.RegistryWrites.empty());
  EXPECT_FALSE(platform.RegistryKeyExists(kHkeyLocalMachine, kStatisticsKey));
  EXPECT_FALSE(platform.RegistryKeyExists(kHkeyCurrentUser, kStatisticsKey));
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
}

TEST_F(ExecuteTest, SwitchesChooseThePlaylistOrder) {
  platform.AddFile("D:\\b.avi", 3);
  platform.AddFile("D:\\Sub\\a.avi", 1);
  platform.AddFile("D:\\c.avi", 2);
  struct Case {
    const char* commandLine;
    const char* order;
  } cases[] = {
      {"start.exe", "bca"},           {"start.exe /asc", "acb"},
      {"start.exe /name", "abc"},     {"start.exe \"\" -NAME /desc", "cba"},
      {"start.exe /no /name", "bac"},
  };
  for (const Case& c : cases) {
    platform.CommandLine = c.commandLine;
    ASSERT_EQ(Run(), 0);
    const std::string text = platform.FileContent("C:\\Temp\\start.asx");
    std::string order;
    for (std::size_t pos = 0; (pos = text.find("<Title>", pos + 1)) != std::string::npos;) {
      if (text[pos + 8] == '<') order += text[pos + 7];  // one-letter titles only
    }
    EXPECT_EQ(order, c.order) << c.commandLine;
  }
}

TEST_F(ExecuteTest, ThePlaylistHeaderCarriesTheVersionRecordsValues) {
  using namespace version_builder;
  platform.VersionResources["D:\\start.exe"] = VersionResource(
      u"041904E3",
      {TextValue(u"CompanyName", u"Velkor Programs"),
       TextValue(u"LegalCopyright", u"Copyright © 2007 Velkor Programs")},
      0x0419, 1251, {Block(u"VelkorPrograms", {TextValue(u"Author", u"Иван Петров")})});
  platform.AddFile("D:\\a.avi", 1);
  EXPECT_EQ(Run(), 0);
  const std::string text = platform.FileContent("C:\\Temp\\start.asx");
  const std::string header =
      std::string(Win1251(u8"<Author>Автор программы: Иван Петров Издатель: Velkor Programs</Author>\r\n"
                          u8"<Copyright>Авторские права: Copyright © 2007 Velkor Programs</Copyright>\r\n"));
  EXPECT_NE(text.find(header), std::string::npos) << text;
}

// A folder named with characters the ANSI code page lacks reads as '?' in the
// module's ANSI path, which leads nowhere: the run takes the 8.3 path.
TEST_F(ExecuteTest, AFolderNamedOutsideTheCodePageIsReachedByItsShortPath) {
  using namespace version_builder;
  platform.ModuleFileName = "D:\\???\\start.exe";
  platform.ShortModuleFileName = "D:\\FILMS~1\\start.exe";
  platform.AddFile("D:\\FILMS~1\\start.exe", 50000);
  platform.VersionResources["D:\\FILMS~1\\start.exe"] = VersionResource(
      u"041904E3", {TextValue(u"CompanyName", u"Velkor Programs")}, 0x0419, 1251, {});
  platform.AddFile("D:\\FILMS~1\\a.avi", 1);
  EXPECT_EQ(Run(), 0);
  EXPECT_NE(platform.FileContent("C:\\Temp\\start.asx").find("href=\"D:\\FILMS~1\\a.avi\""),
            std::string::npos);
  EXPECT_EQ(platform.GetRegistryValue(kHkeyCurrentUser, "Software\\Velkor Programs\\\\",
                                      "Start Directory"),
            (MemoryPlatform::RegistryValue{win::kRegSz, std::string("D:\\FILMS~1\0", 11)}));
}

TEST_F(ExecuteTest, AMissingExecutableIsReportedAndNothingElseHappens) {
  platform.StringTable[65436] = std::string(Win1251(u8"Файл \"%s\" не найден."));
  platform.ModuleFileName = "D:\\gone.exe";
  platform.ShortModuleFileName = "D:\\GONE~1.EXE";  // no file either
  platform.AddFile("D:\\a.avi", 1);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(platform.ShellRequests.empty());
  EXPECT_FALSE(platform.Exists("C:\\Temp\\gone.asx"));
  // The message ends in "." already: no second one.
  ExpectErrorReport("EInOutError", "gone.exe",
                    std::string(Win1251(u8"Файл \"D:\\gone.exe\" не найден.")));
}

}  // namespace
}  // namespace reelstart
