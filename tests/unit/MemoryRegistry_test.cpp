// The in-memory registry answers as Windows does where the program relies on it.
#include <gtest/gtest.h>

#include <cstring>

#include "support/Platform_mem.h"

namespace reelstart {
namespace {

using win::kErrorAccessDenied;
using win::kErrorInvalidHandle;

class MemoryRegistryTest : public ::testing::Test {
 protected:
  RegistryKey Create(RegistryKey root, const std::string& path) {
    RegistryKey key = 0;
    EXPECT_EQ(platform.RegCreateKeyExA(root, path, win::kRegOptionNonVolatile, win::kKeyAllAccess,
                                       key),
              win::kErrorSuccess);
    return key;
  }

  MemoryPlatform platform;
};

TEST_F(MemoryRegistryTest, WritesNeedAnOpenKey) {
  const char data[] = "x";
  // Key 0, what a failed RegCreateKeyExA hands out, fails quietly.
  EXPECT_EQ(platform.RegSetValueExA(0, "v", win::kRegSz, data, 2), kErrorInvalidHandle);
  // Any other key not open is the program's mistake, and named as one.
  MisuseLog misuse;
  EXPECT_EQ(platform.RegSetValueExA(0x1234, "v", win::kRegSz, data, 2), kErrorInvalidHandle);
  const RegistryKey key = Create(kHkeyCurrentUser, "Software\\A");
  EXPECT_EQ(platform.RegCloseKey(key), win::kErrorSuccess);
  EXPECT_EQ(platform.RegSetValueExA(key, "v", win::kRegSz, data, 2), kErrorInvalidHandle);
  EXPECT_EQ(platform.RegCloseKey(key), kErrorInvalidHandle);
  EXPECT_TRUE(platform.RegistryWrites.empty());
  EXPECT_EQ(misuse.Reports, (std::vector<std::string>{
                                "RegSetValueExA through a key never opened 0x1234",
                                "RegSetValueExA through a closed key 0x1004",
                                "RegCloseKey of a key not open 0x1004"}));
}

TEST_F(MemoryRegistryTest, CreatesTheKeysOnTheWayAndOpensRelativeToAKey) {
  const RegistryKey software = Create(kHkeyLocalMachine, "Software");
  const RegistryKey key = Create(software, "Maker\\Tool");
  EXPECT_TRUE(platform.RegistryKeyExists(kHkeyLocalMachine, "SOFTWARE\\maker"));
  const char data[] = "1";
  EXPECT_EQ(platform.RegSetValueExA(key, "V", win::kRegSz, data, 2), win::kErrorSuccess);
  EXPECT_EQ(platform.GetRegistryValue(kHkeyLocalMachine, "software\\maker\\tool", "v"),
            (MemoryPlatform::RegistryValue{win::kRegSz, std::string("1\0", 2)}));
  EXPECT_FALSE(platform.RegistryKeyExists(kHkeyCurrentUser, "Software\\Maker\\Tool"));
  EXPECT_EQ(platform.OpenKeyCount(), 2u);
  platform.RegCloseKey(key);
  platform.RegCloseKey(software);
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
}

TEST_F(MemoryRegistryTest, DeniedRootHandsOutNoKey) {
  platform.DenyRegistryWrites(kHkeyLocalMachine);
  RegistryKey key = 0x55;
  EXPECT_EQ(platform.RegCreateKeyExA(kHkeyLocalMachine, "Software\\A", 0, win::kKeyAllAccess, key),
            kErrorAccessDenied);
  EXPECT_EQ(key, 0u);
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
  EXPECT_NE(Create(kHkeyCurrentUser, "Software\\A"), 0u);
}

TEST_F(MemoryRegistryTest, QuerySizes) {
  const RegistryKey key = Create(kHkeyCurrentUser, "K");
  platform.SetRegistryValue(kHkeyCurrentUser, "K", "Six", {win::kRegBinary, "123456"});
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  // No buffer: type and size only.
  EXPECT_EQ(platform.RegQueryValueExA(key, "six", type, nullptr, size), win::kErrorSuccess);
  EXPECT_EQ(type, win::kRegBinary);
  EXPECT_EQ(size, 6u);
  // Too small: the size needed, and nothing usable in the buffer.
  char buffer[8] = "abcdefg";
  type = 0;
  size = 4;
  EXPECT_EQ(platform.RegQueryValueExA(key, "Six", type, buffer, size), win::kErrorMoreData);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, win::kRegBinary);
  EXPECT_NE(std::memcmp(buffer, "1234", 4), 0);
  EXPECT_EQ(std::memcmp(buffer + 4, "efg", 3), 0);  // past the stated size: untouched
  // Large enough: the bytes and their count.
  size = sizeof buffer;
  EXPECT_EQ(platform.RegQueryValueExA(key, "Six", type, buffer, size), win::kErrorSuccess);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::memcmp(buffer, "123456", 6), 0);
  // Missing value: ERROR_FILE_NOT_FOUND, size untouched.
  size = 4;
  EXPECT_EQ(platform.RegQueryValueExA(key, "None", type, buffer, size), win::kErrorFileNotFound);
  EXPECT_EQ(size, 4u);
  platform.RegCloseKey(key);
}

}  // namespace
}  // namespace reelstart
