#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "common/Errors.h"
#include "common/Text.h"
#include "platform/Platform_mem.h"
#include "version/QVVersion.h"
#include "videofiles/QVVideoFilesProcessor.h"

namespace reelstart {
namespace {

class ExecuteTest : public ::testing::Test {
 protected:
  ExecuteTest() {
    platform.ModuleFileName = "D:\\start.exe";
    platform.AddFile("D:\\start.exe", 50000);
    platform.Environment["TMP"] = "C:\\Temp";
    platform.AddFolder("C:\\Temp");
    platform.CurrentDirectory = "E:\\Elsewhere\\";
  }

  int Run() { return RunWithErrorReport(&TQVVideoFilesProcessor::Execute); }

  // The statistics key as the executable's own version record names it.
  std::string StatisticsKey() {
    TQVFileVersionInfo info;
    info.SetFileName(platform.ModuleFileName);
    return Format("Software\\%s\\%s\\%s",
                  {info.CompanyName, info.InternalName, info.ProductVersion});
  }

  std::optional<MemoryPlatform::RegistryValue> Statistic(RegistryKey root,
                                                         const std::string& name) {
    return platform.GetRegistryValue(root, StatisticsKey(), name);
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
  const std::string text = platform.FileContent("C:\\Temp\\start.asx");
  // The enumerator's own order until switches choose another: smallest first.
  EXPECT_LT(text.find("Clip.wmv"), text.find("Film 1.avi"));
  EXPECT_EQ(text.find("other.avi"), std::string::npos);
  EXPECT_TRUE(platform.MessageBoxes.empty());
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
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
  ASSERT_EQ(platform.MessageBoxes.size(), 1u);
  const auto& box = platform.MessageBoxes[0];
  EXPECT_EQ(box.Caption, "Application Error");
  EXPECT_EQ(box.Type, 0x2010u);
  const std::string firstLine = "Exception ERegistryException in module start.exe at ";
  ASSERT_EQ(box.Text.compare(0, firstLine.size(), firstLine), 0) << box.Text;
  EXPECT_EQ(box.Text.substr(firstLine.size() + 8),
            ".\r\nFailed to set data for 'Last Start'.\r\n");
  // HKEY_CURRENT_USER is not reached.
  EXPECT_TRUE(platform.RegistryWrites.empty());
  EXPECT_FALSE(platform.RegistryKeyExists(kHkeyCurrentUser, StatisticsKey()));
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
    platform.SetRegistryValue(kHkeyCurrentUser, StatisticsKey(), "Starts Count", c.stored);
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
  ASSERT_EQ(platform.MessageBoxes.size(), 1u);
  const auto& box = platform.MessageBoxes[0];
  EXPECT_EQ(box.Caption, "Application Error");
  EXPECT_EQ(box.Type, 0x2010u);
  const std::string firstLine = "Exception EFCreateError in module start.exe at ";
  ASSERT_EQ(box.Text.compare(0, firstLine.size(), firstLine), 0) << box.Text;
  EXPECT_EQ(box.Text.substr(firstLine.size() + 8),
            ".\r\nCannot create file \"C:\\Missing\\start.asx\". "
            "The system cannot find the path specified.\r\n");
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
  // A run that fails before the statistics leaves the registry alone.
  EXPECT_TRUE(platform.RegistryWrites.empty());
}

}  // namespace
}  // namespace reelstart
