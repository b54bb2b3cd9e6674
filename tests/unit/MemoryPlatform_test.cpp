// The in-memory platform refuses what Windows refuses, and names what a
// correct program never does.
#include <gtest/gtest.h>

#include "support/FailingPlatform.h"
#include "support/Platform_mem.h"

namespace reelstart {
namespace {

constexpr std::uint32_t kRead = win::kGenericRead;
constexpr std::uint32_t kWrite = win::kGenericWrite;
constexpr std::uint32_t kShareRead = win::kFileShareRead;
constexpr std::uint32_t kShareWrite = win::kFileShareWrite;
constexpr std::uint32_t kShareAll = kShareRead | kShareWrite | win::kFileShareDelete;

TEST(MemoryPlatformTest, OpensAsWindowsChecksThem) {
  enum Place { kPlain, kReadOnlyFile, kOnADisc };
  const struct {
    const char* name;
    Place place;
    std::uint32_t heldAccess, heldShare;  // another program's open; none when both 0
    std::uint32_t access, share, disposition;
    long expected;  // ERROR_SUCCESS: it opens
  } rows[] = {
      {"reader beside a reader", kPlain, kRead, kShareRead, kRead, kShareRead, win::kOpenExisting,
       win::kErrorSuccess},
      // Both ways: the new share mode must allow the open already there ...
      {"reader sharing nothing beside a reader", kPlain, kRead, kShareRead, kRead, 0,
       win::kOpenExisting, win::kErrorSharingViolation},
      {"reader sharing reading beside a writer", kPlain, kWrite, kShareRead, kRead, kShareRead,
       win::kOpenExisting, win::kErrorSharingViolation},
      {"reader sharing writing beside a writer", kPlain, kWrite, kShareRead, kRead,
       kShareRead | kShareWrite, win::kOpenExisting, win::kErrorSuccess},
      // ... and the open already there must allow the new one.
      {"reader beside a reader sharing nothing", kPlain, kRead, 0, kRead, kShareAll,
       win::kOpenExisting, win::kErrorSharingViolation},
      {"writer beside a reader sharing reading", kPlain, kRead, kShareRead, kWrite, kShareAll,
       win::kOpenExisting, win::kErrorSharingViolation},
      // An open without data access is checked against no share mode.
      {"attributes only beside a reader sharing nothing", kPlain, kRead, 0, 0, 0,
       win::kOpenExisting, win::kErrorSuccess},
      {"creator beside a reader", kPlain, kRead, kShareAll, kRead | kWrite, 0, win::kCreateAlways,
       win::kErrorSharingViolation},
      {"reader of a read-only file", kReadOnlyFile, 0, 0, kRead, kShareRead, win::kOpenExisting,
       win::kErrorSuccess},
      {"writer of a read-only file", kReadOnlyFile, 0, 0, kWrite, kShareRead, win::kOpenExisting,
       win::kErrorAccessDenied},
      {"reader on a disc", kOnADisc, 0, 0, kRead, kShareRead, win::kOpenExisting,
       win::kErrorSuccess},
      {"writer on a disc", kOnADisc, 0, 0, kWrite, kShareAll, win::kOpenExisting,
       win::kErrorAccessDenied},
      {"creator on a disc", kOnADisc, 0, 0, kRead | kWrite, 0, win::kCreateAlways,
       win::kErrorAccessDenied},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryPlatform platform;
    const std::string path = row.place == kOnADisc ? "E:\\film.avi" : "D:\\film.avi";
    platform.AddFile(path, 10, row.place == kReadOnlyFile ? 0x01 : 0x20);
    if (row.place == kOnADisc) platform.SetReadOnlyVolume("E:");
    if (row.heldAccess != 0) platform.HoldOpen(path, row.heldAccess, row.heldShare);
    const NativeHandle file = platform.CreateFileA(path, row.access, row.share, row.disposition,
                                                   win::kFileAttributeNormal);
    if (row.expected == win::kErrorSuccess) {
      EXPECT_NE(file, kInvalidHandleValue);
      platform.CloseHandle(file);
    } else {
      EXPECT_EQ(file, kInvalidHandleValue);
      EXPECT_EQ(platform.GetLastError(), static_cast<std::uint32_t>(row.expected));
    }
    EXPECT_EQ(platform.OpenHandleCount(), 0u);
  }
}

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

TEST(MemoryPlatformTest, FailedCallsAnswerAsWindowsDoes) {
  MemoryPlatform platform;
  platform.AddFile("D:\\a.avi", 0xFFFFFFFFLL);
  FailingPlatform faults(platform);
  using Call = FailingPlatform::Call;
  FindData data;
  faults.FailCall(Call::FindFirstFileA, 1, win::kErrorNotReady);
  EXPECT_EQ(faults.FindFirstFileA("D:\\*.*", data), kInvalidHandleValue);
  EXPECT_EQ(faults.GetLastError(), static_cast<std::uint32_t>(win::kErrorNotReady));

  const NativeHandle file =
      platform.CreateFileA("D:\\a.avi", kRead, kShareRead, win::kOpenExisting, 0);
  ASSERT_NE(file, kInvalidHandleValue);
  // INVALID_FILE_SIZE with an error, the high part untouched; a real low
  // part of that value with ERROR_SUCCESS, whatever the last error was.
  faults.FailCall(Call::GetFileSize, 1, win::kErrorNotReady);
  std::uint32_t high = 0x55;
  EXPECT_EQ(faults.GetFileSize(file, high), win::kInvalidFileSize);
  EXPECT_EQ(high, 0x55u);
  EXPECT_EQ(faults.GetLastError(), static_cast<std::uint32_t>(win::kErrorNotReady));
  EXPECT_EQ(platform.GetFileSize(file, high), win::kInvalidFileSize);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(platform.GetLastError(), static_cast<std::uint32_t>(win::kErrorSuccess));
  platform.CloseHandle(file);
}

}  // namespace
}  // namespace reelstart
