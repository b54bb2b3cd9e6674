#include <gtest/gtest.h>

#include "VersionBlockBuilder.h"
#include "common/Errors.h"
#include "common/Win1251.h"
#include "platform/Platform_mem.h"
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

TEST_F(ExecuteTest, AMissingExecutableIsReportedAndNothingElseHappens) {
  platform.StringTable[65436] = std::string(Win1251(u8"Файл \"%s\" не найден."));
  platform.ModuleFileName = "D:\\gone.exe";
  platform.AddFile("D:\\a.avi", 1);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(platform.ShellRequests.empty());
  EXPECT_FALSE(platform.Exists("C:\\Temp\\gone.asx"));
  ASSERT_EQ(platform.MessageBoxes.size(), 1u);
  const auto& box = platform.MessageBoxes[0];
  EXPECT_EQ(box.Caption, "Application Error");
  EXPECT_EQ(box.Type, 0x2010u);
  const std::string firstLine = "Exception EInOutError in module gone.exe at ";
  ASSERT_EQ(box.Text.compare(0, firstLine.size(), firstLine), 0) << box.Text;
  // The message ends in "." already: no second one.
  EXPECT_EQ(box.Text.substr(firstLine.size() + 8),
            ".\r\n" + std::string(Win1251(u8"Файл \"D:\\gone.exe\" не найден.")) + "\r\n");
}

}  // namespace
}  // namespace reelstart
