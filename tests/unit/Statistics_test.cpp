#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/Errors.h"
#include "support/FailingPlatform.h"
#include "support/Platform_mem.h"
#include "version/QVVersion.h"
#include "common/Locale.h"
#include "videofiles/QVStatistics.h"
#include "videofiles/QVVideoFilesEnumerator.h"
#include "videofiles/QVVideoFilesProcessor.h"

namespace reelstart {

// Found by argument-dependent lookup, so not in the unnamed namespace.
void PrintTo(const MemoryPlatform::RegistryValue& value, std::ostream* out) {
  *out << "type " << value.Type << ", " << ::testing::PrintToString(value.Data);
}

namespace {

using RegistryValue = MemoryPlatform::RegistryValue;
using RegistryWrite = MemoryPlatform::RegistryWrite;

const std::string kKey = "Software\\Velkor Programs\\Reelstart\\2.2.0";
const char* const kValueNames[] = {"Last Start",     "VideoFiles Count", "Starts Count",
                                   "Release Date",   "Publisher Site",   "Build",
                                   "Start Directory"};

RegistryValue Sz(const std::string& text) { return {win::kRegSz, text + '\0'}; }
RegistryValue Dword(std::uint32_t value) {
  return {win::kRegDword, std::string{static_cast<char>(value), static_cast<char>(value >> 8),
                                      static_cast<char>(value >> 16),
                                      static_cast<char>(value >> 24)}};
}

class StatisticsTest : public ::testing::Test {
 protected:
  StatisticsTest() {
    platform.ModuleFileName = "D:\\Films\\start.exe";
    platform.LocalTime = {2008, 3, 5, 7, 23, 59, 59, 999};
    platform.LocaleInfo[win::kLocaleSShortDate] = "dd.MM.yyyy";
    platform.LocaleInfo[win::kLocaleSDate] = ".";
    settings = GetLocaleFormatSettings();

    versionInfo.CompanyName = "Velkor Programs";
    versionInfo.InternalName = "Reelstart";
    versionInfo.ProductVersion = "2.2.0";
    versionInfo.FileVersion = "2.2.0.1020";
    versionInfo.PublisherSite = "www.example.com";
    versionInfo.ReleaseDate = "2007.05.29";
    enumerator.AddFile("D:\\Films\\a.avi", 1);
    enumerator.AddFile("D:\\Films\\b.avi", 2);
  }

  void Save() { TQVVideoFilesProcessor::SaveStatistics(enumerator, versionInfo, settings); }

  // The message SaveStatistics raised; empty when it raised nothing.
  std::string SaveError() {
    try {
      Save();
    } catch (const ERegistryException& error) {
      return error.Message();
    }
    return {};
  }

  std::optional<RegistryValue> Value(RegistryKey root, const std::string& name) {
    return platform.GetRegistryValue(root, kKey, name);
  }

  MemoryPlatform platform;
  TQVFileVersionInfo versionInfo;
  TQVVideoFilesEnumerator enumerator;
  TFormatSettings settings;
};

TEST_F(StatisticsTest, WritesSevenValuesInOrderUnderBothRoots) {
  Save();
  std::vector<RegistryWrite> expected;
  for (const RegistryKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    for (const char* name : kValueNames) expected.push_back({root, kKey, name});
  }
  ASSERT_EQ(platform.RegistryWrites.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(platform.RegistryWrites[i].Root, expected[i].Root) << i;
    EXPECT_EQ(platform.RegistryWrites[i].Key, expected[i].Key) << i;
    EXPECT_EQ(platform.RegistryWrites[i].Name, expected[i].Name) << i;
  }
  for (const RegistryKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    EXPECT_EQ(Value(root, "Last Start"), Sz("07.03.2008"));  // no time of day
    EXPECT_EQ(Value(root, "VideoFiles Count"), Dword(2));
    EXPECT_EQ(Value(root, "Starts Count"), Dword(1));
    EXPECT_EQ(Value(root, "Release Date"), Sz("29.05.2007"));
    EXPECT_EQ(Value(root, "Publisher Site"), Sz("www.example.com"));
    EXPECT_EQ(Value(root, "Build"), Sz("2.2.0.1020"));
    EXPECT_EQ(Value(root, "Start Directory"), Sz("D:\\Films"));
  }
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
}

TEST_F(StatisticsTest, ExactBytesOfEachType) {
  enumerator = TQVVideoFilesEnumerator();
  for (int i = 0; i < 0x1234; ++i) enumerator.AddFile("D:\\x.avi", 0);
  versionInfo.PublisherSite.clear();
  Save();
  const auto count = Value(kHkeyCurrentUser, "VideoFiles Count");
  ASSERT_TRUE(count.has_value());
  EXPECT_EQ(count->Type, 4u);
  EXPECT_EQ(count->Data, std::string("\x34\x12\x00\x00", 4));
  const auto site = Value(kHkeyCurrentUser, "Publisher Site");
  ASSERT_TRUE(site.has_value());
  EXPECT_EQ(site->Type, 1u);
  EXPECT_EQ(site->Data, std::string(1, '\0'));  // an empty REG_SZ is its terminating zero
}

TEST_F(StatisticsTest, EachRootCountsItsOwnStarts) {
  platform.SetRegistryValue(kHkeyLocalMachine, kKey, "Starts Count", Dword(41));
  Save();
  EXPECT_EQ(Value(kHkeyLocalMachine, "Starts Count"), Dword(42));
  EXPECT_EQ(Value(kHkeyCurrentUser, "Starts Count"), Dword(1));
  Save();
  EXPECT_EQ(Value(kHkeyLocalMachine, "Starts Count"), Dword(43));
  EXPECT_EQ(Value(kHkeyCurrentUser, "Starts Count"), Dword(2));
}

TEST_F(StatisticsTest, StartsCountReading) {
  struct Case {
    RegistryValue stored;
    std::uint32_t expected;
  } cases[] = {
      {Dword(0), 1},
      {Dword(0x7FFFFFFF), 0x80000000u},
      {Dword(0xFFFFFFFE), 0xFFFFFFFFu},
      {Dword(0xFFFFFFFF), 0},  // wraps
      // A REG_DWORD written short reads as its bytes with zeros above them.
      {{win::kRegDword, std::string("\x05", 1)}, 6},
      {{win::kRegDword, std::string("\xFF\xFF", 2)}, 0x10000},
      {{win::kRegDword, std::string()}, 1},
  };
  for (const Case& c : cases) {
    platform.SetRegistryValue(kHkeyCurrentUser, kKey, "Starts Count", c.stored);
    Save();
    EXPECT_EQ(Value(kHkeyCurrentUser, "Starts Count"), Dword(c.expected))
        << ::testing::PrintToString(c.stored);
  }
}

TEST_F(StatisticsTest, StartsCountFailures) {
  struct Case {
    RegistryValue stored;
    std::string message;
  } cases[] = {
      {{win::kRegSz, std::string("12345\0", 6)}, "Failed to get data for 'Starts Count'"},
      {{win::kRegBinary, std::string(8, '\1')}, "Failed to get data for 'Starts Count'"},
      {{win::kRegDword, std::string(5, '\0')}, "Failed to get data for 'Starts Count'"},
      {{11 /* REG_QWORD */, std::string(8, '\0')}, "Failed to get data for 'Starts Count'"},
      {{win::kRegSz, std::string("1\0", 2)}, "Invalid data type for 'Starts Count'"},
      {{win::kRegSz, std::string("123\0", 4)}, "Invalid data type for 'Starts Count'"},
      {{win::kRegBinary, std::string(4, '\0')}, "Invalid data type for 'Starts Count'"},
      {{5 /* REG_DWORD_BIG_ENDIAN */, std::string(4, '\0')},
       "Invalid data type for 'Starts Count'"},
      {{win::kRegNone, std::string()}, "Invalid data type for 'Starts Count'"},
  };
  for (const RegistryKey failing : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    for (const Case& c : cases) {
      MemoryPlatform fresh;  // a registry of its own for each case
      fresh.ModuleFileName = platform.ModuleFileName;
      fresh.SetRegistryValue(failing, kKey, "Starts Count", c.stored);
      const std::string context =
          (failing == kHkeyLocalMachine ? "HKLM " : "HKCU ") + ::testing::PrintToString(c.stored);

      EXPECT_EQ(SaveError(), c.message) << context;
      // Written before the failure, and kept.
      EXPECT_TRUE(fresh.GetRegistryValue(failing, kKey, "Last Start").has_value()) << context;
      EXPECT_EQ(fresh.GetRegistryValue(failing, kKey, "VideoFiles Count"), Dword(2)) << context;
      // Not touched, and nothing after it written.
      EXPECT_EQ(fresh.GetRegistryValue(failing, kKey, "Starts Count"), c.stored) << context;
      EXPECT_FALSE(fresh.GetRegistryValue(failing, kKey, "Release Date").has_value()) << context;
      EXPECT_EQ(fresh.RegistryWrites.size(), failing == kHkeyLocalMachine ? 2u : 9u) << context;
      if (failing == kHkeyLocalMachine) {
        EXPECT_FALSE(fresh.RegistryKeyExists(kHkeyCurrentUser, kKey)) << context;
      } else {
        EXPECT_EQ(fresh.GetRegistryValue(kHkeyLocalMachine, kKey, "Start Directory"),
                  Sz("D:\\Films"))
            << context;
      }
      EXPECT_EQ(fresh.OpenKeyCount(), 0u) << context;
    }
  }
}

TEST_F(StatisticsTest, DeniedLocalMachineStopsAtItsFirstValue) {
  platform.DenyRegistryWrites(kHkeyLocalMachine);
  EXPECT_EQ(SaveError(), "Failed to set data for 'Last Start'");
  EXPECT_TRUE(platform.RegistryWrites.empty());
  EXPECT_FALSE(platform.RegistryKeyExists(kHkeyLocalMachine, kKey));
  EXPECT_FALSE(platform.RegistryKeyExists(kHkeyCurrentUser, kKey));
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
}

TEST_F(StatisticsTest, DeniedCurrentUserAfterACompleteLocalMachine) {
  const struct {
    const char* name;
    void (*arrange)(MemoryPlatform&, FailingPlatform&);
  } rows[] = {
      {"denied root", [](MemoryPlatform& p, FailingPlatform&) { p.DenyRegistryWrites(kHkeyCurrentUser); }},
      // The user's hive is being unloaded: the second key does not open.
      {"second key fails",
       [](MemoryPlatform&, FailingPlatform& f) {
         f.FailCall(FailingPlatform::Call::RegCreateKeyExA, 2, win::kErrorKeyDeleted);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryPlatform fresh;  // a registry of its own for each row
    fresh.ModuleFileName = platform.ModuleFileName;
    FailingPlatform faults(fresh);
    row.arrange(fresh, faults);
    EXPECT_EQ(SaveError(), "Failed to set data for 'Last Start'");
    EXPECT_EQ(fresh.RegistryWrites.size(), 7u);
    EXPECT_EQ(fresh.GetRegistryValue(kHkeyLocalMachine, kKey, "Starts Count"), Dword(1));
    EXPECT_FALSE(fresh.GetRegistryValue(kHkeyCurrentUser, kKey, "Last Start").has_value());
    EXPECT_EQ(fresh.OpenKeyCount(), 0u);
  }
}

TEST_F(StatisticsTest, AbsentReleaseDateIsDayZero) {
  for (const char* releaseDate : {"", "2007.02.30", "2007-05-29"}) {
    versionInfo.ReleaseDate = releaseDate;
    Save();
    EXPECT_EQ(Value(kHkeyCurrentUser, "Release Date"), Sz("30.12.1899")) << releaseDate;
  }
}

TEST_F(StatisticsTest, DatesUseTheSettingsOfTheRun) {
  settings.ShortDateFormat = "yyyy/m/d";
  settings.DateSeparator = '-';
  platform.LocaleInfo[win::kLocaleSShortDate] = "changed since the start";
  Save();
  EXPECT_EQ(Value(kHkeyLocalMachine, "Last Start"), Sz("2008-3-7"));
  EXPECT_EQ(Value(kHkeyLocalMachine, "Release Date"), Sz("2007-5-29"));
}

TEST_F(StatisticsTest, KeyFromTheVersionRecord) {
  versionInfo.CompanyName = "Maker";
  versionInfo.InternalName = "Tool";
  versionInfo.ProductVersion = "1.0";
  Save();
  EXPECT_EQ(platform.GetRegistryValue(kHkeyCurrentUser, "Software\\Maker\\Tool\\1.0", "Build"),
            Sz("2.2.0.1020"));
}

TEST_F(StatisticsTest, StartDirectoryOfADriveRootKeepsItsBackslash) {
  platform.ModuleFileName = "D:\\start.exe";
  Save();
  EXPECT_EQ(Value(kHkeyLocalMachine, "Start Directory"), Sz("D:\\"));
  EXPECT_EQ(Value(kHkeyCurrentUser, "Start Directory"), Sz("D:\\"));
}

TEST(StartDirectoryTest, Table) {
  MemoryPlatform platform;
  const struct {
    const char* exePath;
    const char* expected;
  } cases[] = {
      {"D:\\start.exe", "D:\\"},
      {"d:\\Start.EXE", "d:\\"},
      {"D:\\Films\\start.exe", "D:\\Films"},
      {"D:\\Films\\Extra\\start.exe", "D:\\Films\\Extra"},
      {"\\\\server\\share\\start.exe", "\\\\server\\share"},
      {"\\\\?\\D:\\start.exe", "\\\\?\\D:\\"},
      {"\\\\?\\D:\\Films\\start.exe", "\\\\?\\D:\\Films"},
  };
  for (const auto& c : cases) EXPECT_EQ(StartDirectory(c.exePath, {}), c.expected) << c.exePath;

  // A folder whose name ends in a double-byte character with a '\' trail byte
  // loses only its real backslash.
  platform.SetCodePage(932);
  EXPECT_EQ(StartDirectory("D:\\\x95\\\\start.exe", GetAnsiLeadBytes()), "D:\\\x95\\");
}

}  // namespace
}  // namespace reelstart
