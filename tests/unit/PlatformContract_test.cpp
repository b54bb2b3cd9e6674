// The platform contract (support/PlatformContract.h) against the in-memory
// stand-in; test_contract.py runs the same cases under Wine.
#include "support/PlatformContract.h"

#include <gtest/gtest.h>

#include "support/Platform_mem.h"
#include "support/VersionBlockBuilder.h"

namespace reelstart {

namespace contract {
void PrintTo(const Case& c, std::ostream* out) { *out << c.Name; }
}  // namespace contract

namespace {

using namespace version_builder;

class MemoryFixture final : public contract::Fixture {
 public:
  explicit MemoryFixture(MemoryPlatform& platform) : p_(platform) {}

  std::string NewFolder() override {
    p_.AddFolder("C:\\Contract");
    return "C:\\Contract\\";
  }
  void MakeFolder(const std::string& path) override { p_.AddFolder(path); }
  void MakeFile(const std::string& path, std::uint64_t size) override {
    p_.AddFile(path, static_cast<std::int64_t>(size));
  }
  void GiveShortName(const std::string& path, const std::string& shortName) override {
    p_.SetShortName(path, shortName);
  }
  std::string ReadOnlyFolder() override {
    p_.AddFile("E:\\film.avi", 10, 0x21);  // a disc's files are read-only
    p_.SetReadOnlyVolume("E:");
    return "E:\\";
  }
  std::string VersionedFile() override {
    const std::string path = "C:\\Contract.exe";
    p_.AddFile(path, 4096);
    VersionEntry root =
        BinaryValue(u"VS_VERSION_INFO", FixedFileInfo(contract::kVersionMs, contract::kVersionLs,
                                                      contract::kVersionMs, contract::kVersionLs));
    root.Children = {
        Block(u"StringFileInfo", {Block(u"041904E3", {TextValue(u"CompanyName", u"Reelstart"),
                                                      TextValue(u"ProductName", u"Контракт")})}),
        Block(u"VarFileInfo", {BinaryValue(u"Translation", Translation(0x0419, 1251))}),
    };
    p_.VersionResources[path] = BuildVersionBlock(root);
    return path;
  }

 private:
  MemoryPlatform& p_;
};

class PlatformContractTest : public ::testing::TestWithParam<contract::Case> {};

TEST_P(PlatformContractTest, HoldsOnTheStandIn) {
  MemoryPlatform platform;
  MemoryFixture fixture(platform);
  contract::Context context{platform, fixture, fixture.NewFolder(),
                            [](const std::string& what) { ADD_FAILURE() << what; }};
  GetParam().Run(context);
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, PlatformContractTest, ::testing::ValuesIn(contract::Cases()),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace reelstart
