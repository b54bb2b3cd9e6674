// The in-memory registry: keys made relative to others, roots denied, misuse
// named. Its answers where Windows answers are held against Windows by the
// platform contract (support/PlatformContract.h).
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace reelstart
