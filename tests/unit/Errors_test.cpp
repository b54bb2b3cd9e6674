#include "common/Errors.h"

#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

#include "support/Platform_mem.h"

namespace reelstart {
namespace {

TEST(ExceptionReportTextTest, FollowsTheReportFormat) {
  EFCreateError error("Cannot create file \"C:\\T\\start.asx\". Access is denied");
  error.SetAddress(0x00401A2C);
  EXPECT_EQ(ExceptionReportText(error, "start.exe", 0x00400000),
            "Exception EFCreateError in module start.exe at 00001A2C.\r\n"
            "Cannot create file \"C:\\T\\start.asx\". Access is denied.\r\n");
}

TEST(ExceptionReportTextTest, AddsNoSecondPeriod) {
  EInOutError error("Done.");
  error.SetAddress(0x10000000);
  EXPECT_EQ(ExceptionReportText(error, "a.exe", 0x00400000),
            "Exception EInOutError in module a.exe at 0FC00000.\r\nDone.\r\n");
  EXPECT_EQ(ExceptionReportText(EWriteError(""), "a.exe", 0x00400000),
            "Exception EWriteError in module a.exe at 00000000.\r\n\r\n");
}

TEST(ExceptionReportTextTest, IsCutTo1023Characters) {
  const std::string text =
      ExceptionReportText(ERegistryException(std::string(2000, 'x')), "a.exe", 0);
  ASSERT_EQ(text.size(), 1023u);
  EXPECT_EQ(text.back(), 'x');
}

// Calls the thrower from one call instruction, so that whatever records the
// place it was called from records the same for every thrower, however the
// code is optimised or instrumented. Read through a volatile pointer, the
// call is never specialised for one thrower.
void (*volatile thrower)(std::string) = nullptr;
[[gnu::noinline]] void CallThrower() { thrower("Stream write error"); }

std::uintptr_t probedSite = 0;
[[gnu::noinline]] void ProbeSite(std::string) {
  probedSite = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
}

TEST(RaiseTest, RecordsTheRaiseSite) {
  thrower = &ProbeSite;
  CallThrower();
  ASSERT_NE(probedSite, 0u);
  thrower = &Raise<EWriteError>;
  try {
    CallThrower();
    FAIL();
  } catch (const EStreamError& error) {
    EXPECT_STREQ(error.ClassName(), "EWriteError");
    EXPECT_EQ(error.Message(), "Stream write error");
    // The address is the raise site: in the caller, just after its call.
    EXPECT_EQ(error.Address(), probedSite);
  }
}

TEST(RunWithErrorReportTest, NormalRunShowsNothing) {
  MemoryPlatform platform;
  EXPECT_EQ(RunWithErrorReport([] {}), 0);
  EXPECT_TRUE(platform.MessageBoxes.empty());
}

TEST(RunWithErrorReportTest, ErrorShowsTheApplicationErrorBox) {
  MemoryPlatform platform;
  platform.ModuleFileName = "D:\\Films\\start.exe";
  EXPECT_EQ(RunWithErrorReport([] { Raise<EInOutError>("Broken"); }), 1);
  ASSERT_EQ(platform.MessageBoxes.size(), 1u);
  const auto& box = platform.MessageBoxes[0];
  EXPECT_EQ(box.Caption, "Application Error");
  EXPECT_EQ(box.Type, 0x2010u);
  EXPECT_TRUE(std::regex_match(
      box.Text, std::regex("Exception EInOutError in module start\\.exe at [0-9A-F]{8}\\.\r\n"
                           "Broken\\.\r\n")))
      << box.Text;
}

TEST(RunWithErrorReportTest, OutOfMemoryIsReported) {
  MemoryPlatform platform;
  EXPECT_EQ(RunWithErrorReport([] { throw std::bad_alloc(); }), 1);
  ASSERT_EQ(platform.MessageBoxes.size(), 1u);
  EXPECT_EQ(platform.MessageBoxes[0].Text,
            "Exception EOutOfMemory in module Reelstart.exe at 00000000.\r\nOut of memory.\r\n");
}

TEST(RunWithErrorReportTest, RuntimeFailuresAreReportedToo) {
  MemoryPlatform platform;
  EXPECT_EQ(RunWithErrorReport([] { throw std::length_error("basic_string::_M_create"); }), 1);
  ASSERT_EQ(platform.MessageBoxes.size(), 1u);
  EXPECT_EQ(platform.MessageBoxes[0].Text,
            "Exception Exception in module Reelstart.exe at 00000000.\r\n"
            "basic_string::_M_create.\r\n");
}

}  // namespace
}  // namespace reelstart
