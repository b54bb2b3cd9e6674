// The test platforms name what a correct program never does. What they
// answer where Windows answers is held against Windows by the platform
// contract (support/PlatformContract.h).
#include <gtest/gtest.h>

#include "support/FailingPlatform.h"
#include "support/Platform_mem.h"

namespace reelstart {
namespace {

constexpr std::uint32_t kRead = win::kGenericRead;
constexpr std::uint32_t kShareRead = win::kFileShareRead;

TEST(MemoryPlatformTest, MisuseIsNamed) {
  using Arrange = void (*)(MemoryPlatform&);
  const struct {
    Arrange misuse;
    const char* report;
  } rows[] = {
      {[](MemoryPlatform& p) {
         p.FindClose(p.CreateFileA("D:\\a.avi", kRead, kShareRead, win::kOpenExisting, 0));
       },
       "FindClose on a file handle 0x104"},
      {[](MemoryPlatform& p) {
         FindData data;
         p.CloseHandle(p.FindFirstFileA("D:\\*.*", data));
       },
       "CloseHandle on a find handle 0x104"},
      {[](MemoryPlatform& p) {
         const NativeHandle file = p.CreateFileA("D:\\a.avi", kRead, kShareRead,
                                                 win::kOpenExisting, 0);
         p.CloseHandle(file);
         p.CloseHandle(file);
       },
       "CloseHandle on a closed handle 0x104"},
      {[](MemoryPlatform& p) {
         FindData data;
         std::uint32_t high = 0;
         EXPECT_EQ(p.GetFileSize(p.FindFirstFileA("D:\\*.*", data), high), win::kInvalidFileSize);
       },
       "GetFileSize on a find handle 0x104"},
      {[](MemoryPlatform& p) {
         std::uint32_t written = 0;
         EXPECT_FALSE(p.WriteFile(0x200, "x", 1, written));
       },
       "WriteFile on a handle never opened 0x200"},
      {[](MemoryPlatform& p) {
         p.CloseHandle(p.HoldOpen("D:\\a.avi", kRead, kShareRead));
       },
       "CloseHandle on another program's handle 0x104"},
      {[](MemoryPlatform& p) { EXPECT_NE(p.RegCloseKey(0x2000), win::kErrorSuccess); },
       "RegCloseKey of a key not open 0x2000"},
      {[](MemoryPlatform& p) { p.AddFolderLink("D:\\Link", "D:\\Flims"); },
       "AddFolderLink: nothing at \"D:\\Flims\""},
      {[](MemoryPlatform& p) { EXPECT_EQ(p.FileContent("C:\\Temp\\start.asx"), ""); },
       "FileContent: nothing at \"C:\\Temp\\start.asx\""},
      {[](MemoryPlatform& p) { p.HoldOpen("D:\\b.avi", kRead, kShareRead); },
       "HoldOpen: \"D:\\b.avi\" does not open, error 2"},
      {[](MemoryPlatform& p) {
         FailingPlatform faults(p);
         faults.FailCall(FailingPlatform::Call::GetFileSize, 1, win::kErrorNotReady);
       },
       "FailCall: GetFileSize was to fail at its call 1, but was made 0 times"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.report);
    MisuseLog misuse;
    {
      MemoryPlatform platform;
      platform.AddFile("D:\\a.avi", 1);
      row.misuse(platform);
    }
    EXPECT_EQ(misuse.Reports, std::vector<std::string>{row.report});
  }
}

}  // namespace
}  // namespace reelstart
